// The probe's listings of folders answer as the direct calls do over every world: in the Windows build
// over real files, where how a listing spells long and 8.3 names and how a search for one name folds case
// are the system's own. A few randomised folders: names that differ only in case, long names asked for by
// the 8.3 names the system gave them, a name beyond ASCII, a leading blank, and the names asked for in
// the spellings the system reads its own way.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scan/engine.h"
#include "scan/folder_listings.h"
#include "scan/resolve.h"
#include "support/text.h"
#include "tests/testing/random.h"
#include "tests/testing/world.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const Strings kFolders = {"Program Files", "Program Files\\Vendor App", "Lib"};
const Strings kLeaves = {
    "app.exe", "APP.EXE", "Long File Name.dll", "library.dll",      "Library.Dll", "caf\xC3\xA9.dll", " blank.exe",
    "a.b.c",   "readme",  "README.txt",         "verylongname.txt", "Vendor App",  "tool.com",        "nul.txt",
    "x"};

// The last name of `path`.
std::string Leaf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

class ListingsAgree : public ::testing::TestWithParam<WorldKind> {};

TEST_P(ListingsAgree, WithTheDirectCalls) {
  std::size_t answered = 0;
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::unique_ptr<World> world = GetParam().make();
    Random random(seed);
    const std::string root = world->Folder();
    for (const std::string& folder : kFolders) world->AddDirectory(root + folder);
    FileSystemApi& files = world->platform().files;
    Strings leaves = kLeaves;
    for (const std::string& folder : kFolders) {
      for (const std::string& leaf : kLeaves) {
        const std::string path = root + folder + "\\" + leaf;
        if (leaf == "nul.txt" || files.GetAttributes(path) != kInvalidFileAttributes || !random.Chance(0.4)) continue;
        world->AddFile(path);
        // Asked for by the 8.3 name the system gave it, too.
        char buffer[1024];
        const std::uint32_t copied = files.ShortPathName(path, sizeof buffer, buffer);
        if (copied > 0 && copied < sizeof buffer) leaves.push_back(Leaf(std::string(buffer, copied)));
      }
    }
    Strings paths;
    for (int i = 0; i < 50; ++i) {
      std::string folder = root + random.Pick(kFolders);
      std::string leaf = random.Pick(leaves);
      switch (random.Below(8)) {
        case 0: leaf = LowerAscii(leaf); break;
        case 1: leaf = UpperText(leaf); break;
        case 2: leaf += random.Chance(0.5) ? "." : " "; break;
        case 3: folder += "\\Missing"; break;
        case 4: folder += "\\.."; break;
        default: break;
      }
      paths.push_back(folder + "\\" + leaf);
    }

    // The listings' answers against the attribute query.
    FolderListings listings;
    for (const std::string& path : paths) {
      if (!IsPlainLocalName(path)) continue;
      const std::optional<std::uint32_t> listed = listings.Attributes(files, path);
      if (!listed) continue;
      ++answered;
      EXPECT_EQ(*listed, files.GetAttributes(path)) << "seed " << seed << ": [" << path << "]";
    }

    // The existence test and the resolver, plain and in a probe.
    Engine engine(world->platform());
    std::vector<bool> present;
    std::vector<std::string> resolved;
    engine.Plain = true;
    for (const std::string& path : paths) {
      present.push_back(SafeFileExists(engine, path));
      std::string fileName;
      resolved.push_back(std::to_string(ExtractFileFromCommand(engine, path + " arg", fileName)) + fileName);
    }
    engine.Plain = false;
    ProbeMemo::Scope probe(engine.Memo);
    for (std::size_t i = 0; i < paths.size(); ++i) {
      EXPECT_EQ(SafeFileExists(engine, paths[i]), present[i]) << "seed " << seed << ": [" << paths[i] << "]";
      std::string fileName;
      EXPECT_EQ(std::to_string(ExtractFileFromCommand(engine, paths[i] + " arg", fileName)) + fileName, resolved[i])
          << "seed " << seed << ": [" << paths[i] << " arg]";
    }
  }
  EXPECT_GT(answered, 0u) << "the listings answered nothing";
}

INSTANTIATE_TEST_SUITE_P(Worlds, ListingsAgree, ::testing::ValuesIn(ContractWorlds()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kv::testing
