#include "bench/measure.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>

#include "bench/floor.h"
#include "bench/process_stats.h"
#include "platform/counting_platform.h"
#include "scan/cleaner.h"

namespace kv::bench {
namespace {

using Clock = std::chrono::steady_clock;

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

void TakeCalls(const CountingPlatform& counting, Measurement& m) {
  for (std::size_t i = 0; i < kSeamCallKinds; ++i) {
    const SeamCall call = static_cast<SeamCall>(i);
    if (counting.Count(call) != 0) m.calls[SeamCallName(call)] = counting.Count(call);
  }
}

std::string Cell(const std::string& text, std::size_t width) {
  return text.size() >= width ? " " + text : std::string(width - text.size(), ' ') + text;
}

}  // namespace

Measurement MeasureProbe(Platform& platform, const std::string& platformName, int size, bool memo, bool plain,
                         bool listings) {
  CountingPlatform counting(platform);
  Engine engine(counting.platform());
  engine.Memo.SetEnabled(memo);
  engine.Memo.SetListingsEnabled(listings);
  engine.Plain = plain;
  Measurement m;
  m.kind = "probe";
  m.platform = platformName;
  m.size = size;
  {
    TRegistryCleaner cleaner(engine);
    cleaner.Mask = 127;
    cleaner.OnProgress = [&](EngineObject& sender) {
      if (&sender != &cleaner) ++m.items;
    };
    counting.Reset();
    ResetPeakMemory();
    const double cpu = CpuMilliseconds();
    const Clock::time_point start = Clock::now();
    m.result = cleaner.ScanSections();
    m.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    m.cpuMs = CpuMilliseconds() - cpu;
    m.peakMb = PeakMemoryMb();
    m.registryCalls = counting.RegistryCalls();
    m.fileCalls = counting.FileSystemCalls();
    TakeCalls(counting, m);
  }
  return m;
}

Measurement MeasureFloor(Platform& platform, const std::string& platformName, const MachineSummary& summary) {
  CountingPlatform counting(platform);
  Measurement m;
  m.kind = "floor";
  m.platform = platformName;
  m.size = summary.size;
  ResetPeakMemory();
  const double cpu = CpuMilliseconds();
  const Clock::time_point start = Clock::now();
  const FloorCounts counts = RunFloor(counting.platform(), summary);
  m.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  m.cpuMs = CpuMilliseconds() - cpu;
  m.peakMb = PeakMemoryMb();
  m.registryCalls = counting.RegistryCalls();
  m.fileCalls = counting.FileSystemCalls();
  TakeCalls(counting, m);
  m.result = static_cast<std::int64_t>(counts.missing);
  m.items = counts.values;
  return m;
}

std::string CallBreakdown(const Measurement& m) {
  std::vector<std::pair<std::uint64_t, std::string>> sorted;
  for (const auto& [name, count] : m.calls) sorted.emplace_back(count, name);
  std::sort(sorted.rbegin(), sorted.rend());
  std::string out;
  for (const auto& [count, name] : sorted) out += (out.empty() ? "" : " ") + name + "=" + std::to_string(count);
  return out;
}

std::string ToLine(const Measurement& m) {
  std::ostringstream line;
  line << "kvbench kind=" << m.kind << " platform=" << m.platform << " size=" << m.size
       << " wall_ms=" << Fixed(m.wallMs, 3) << " cpu_ms=" << Fixed(m.cpuMs, 3) << " peak_mb=" << Fixed(m.peakMb, 1)
       << " registry_calls=" << m.registryCalls << " file_calls=" << m.fileCalls << " result=" << m.result
       << " items=" << m.items;
  return line.str();
}

bool FromLine(const std::string& line, Measurement* m) {
  std::istringstream in(line);
  std::string word;
  if (!(in >> word) || word != "kvbench") return false;
  int fields = 0;
  while (in >> word) {
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos) return false;
    const std::string key = word.substr(0, equals), value = word.substr(equals + 1);
    try {
      if (key == "kind")
        m->kind = value;
      else if (key == "platform")
        m->platform = value;
      else if (key == "size")
        m->size = std::stoi(value);
      else if (key == "wall_ms")
        m->wallMs = std::stod(value);
      else if (key == "cpu_ms")
        m->cpuMs = std::stod(value);
      else if (key == "peak_mb")
        m->peakMb = std::stod(value);
      else if (key == "registry_calls")
        m->registryCalls = std::stoull(value);
      else if (key == "file_calls")
        m->fileCalls = std::stoull(value);
      else if (key == "result")
        m->result = std::stoll(value);
      else if (key == "items")
        m->items = std::stoull(value);
      else
        continue;
    } catch (const std::exception&) {  // std::stoi and its kin on a malformed number
      return false;
    }
    ++fields;
  }
  return fields == 10;
}

std::string Report(const std::vector<Measurement>& measurements) {
  // The fastest repetition of each (kind, platform, size); call counts do not vary between them.
  std::map<std::tuple<std::string, std::string, int>, Measurement> best;
  for (const Measurement& m : measurements) {
    auto key = std::make_tuple(m.kind, m.platform, m.size);
    auto found = best.find(key);
    if (found == best.end() || m.wallMs < found->second.wallMs) best[key] = m;
  }
  std::vector<std::pair<std::string, int>> rows;
  for (const auto& [key, m] : best)
    if (std::get<0>(key) == "probe") rows.emplace_back(std::get<1>(key), std::get<2>(key));

  std::string out = Cell("platform", 8) + Cell("size", 5) + Cell("probe ms", 11) + Cell("cpu ms", 10) +
                    Cell("reg calls", 11) + Cell("fs calls", 10) + Cell("peak MB", 9) + Cell("items", 9) +
                    Cell("floor ms", 10) + Cell("reg calls", 11) + Cell("fs calls", 10) + Cell("probe/floor", 12) +
                    "\n";
  std::map<std::string, double> worstRatio;
  bool notClean = false;
  for (const auto& [platform, size] : rows) {
    const Measurement& probe = best[std::make_tuple(std::string("probe"), platform, size)];
    notClean = notClean || probe.result != 0;
    out += Cell(platform, 8) + Cell(std::to_string(size), 5) + Cell(Fixed(probe.wallMs, 1), 11) +
           Cell(Fixed(probe.cpuMs, 1), 10) + Cell(std::to_string(probe.registryCalls), 11) +
           Cell(std::to_string(probe.fileCalls), 10) + Cell(Fixed(probe.peakMb, 1), 9) +
           Cell(std::to_string(probe.items), 9);
    auto floor = best.find(std::make_tuple(std::string("floor"), platform, size));
    if (floor != best.end() && floor->second.wallMs > 0) {
      const double ratio = probe.wallMs / floor->second.wallMs;
      worstRatio[platform] = std::max(worstRatio[platform], ratio);
      out += Cell(Fixed(floor->second.wallMs, 1), 10) + Cell(std::to_string(floor->second.registryCalls), 11) +
             Cell(std::to_string(floor->second.fileCalls), 10) + Cell(Fixed(ratio, 2), 12);
    }
    out += "\n";
  }
  if (notClean) out += "WARNING: a probe was not clean (result != 0): its figures cover part of the machine only\n";

  double growth = 0;
  for (const auto& [platform, size] : rows) {
    if (size != 1) continue;
    auto four = best.find(std::make_tuple(std::string("probe"), platform, 4));
    const Measurement& one = best[std::make_tuple(std::string("probe"), platform, 1)];
    if (four == best.end() || one.wallMs <= 0) continue;
    const double g = four->second.wallMs / one.wallMs;
    out += "growth x4/x1 (" + platform + "): " + Fixed(g, 2) + "\n";
    growth = std::max(growth, g);
  }
  for (const auto& [platform, ratio] : worstRatio)
    out += "probe/floor, worst size (" + platform + "): " + Fixed(ratio, 2) + "\n";
  out += "growth x4/x1: " + Fixed(growth, 2) + "\n";
  out += "probe/floor under Wine: " + Fixed(worstRatio.count("wine") ? worstRatio["wine"] : 0.0, 2) + "\n";
  return out;
}

}  // namespace kv::bench
