#include "scan/resolve.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <optional>

#include "platform/handles.h"
#include "scan/search_lists.h"
#include "support/network_name.h"
#include "support/text.h"

namespace kv {
namespace {

constexpr std::uint32_t kPathBufferLength = 260;
// How many candidates of one folder are tried one by one before the folders on the way are looked at.
// Ordinary commands hold fewer words, so their file calls stay exactly those of the plain walk.
constexpr std::size_t kCandidatesBeforeFolderWalk = 16;

// The type of the drive with this letter; asked once per probe.
std::uint32_t DriveTypeOf(Engine& engine, char letter) {
  std::optional<std::uint32_t> type = engine.Memo.DriveType(letter);
  if (!type) {
    type = engine.platform.files.DriveType(std::string(1, letter) + ":\\");
    engine.Memo.RememberDriveType(letter, *type);
  }
  return *type;
}

// A drive whose files are not looked up: one mapped to a share, or one the platform cannot look into.
bool IsOutOfReachDrive(std::uint32_t type) { return type == kDriveRemote || type == kDriveNotExaminable; }

bool HasExtension(const std::string& fileName) {
  const std::size_t at = fileName.find_last_of(".\\:");
  return at != std::string::npos && fileName[at] == '.';
}

// The existence test behind SafeFileExists: a directory search for the name finds an entry that is not a
// folder. A file is present whatever its last-write time, and with wildcards any matching file will do,
// even when a matching folder comes first: judging by the first entry alone would call a pattern that
// matches a file missing only because a folder sorted before it, so every entry is looked at. `entry` is
// scratch space a caller may reuse across tests.
bool QuietFileExists(FileSystemApi& files, const std::string& fileName, FindEntry& entry) {
  // The system reads a name up to its first NUL; every platform is given the name it would read.
  if (fileName.find('\0') != std::string::npos) return QuietFileExists(files, std::string(fileName.c_str()), entry);
  QuietErrorMode quiet(files);
  UniqueFind find(files, files.FindFirst(fileName, &entry));
  if (!find) return false;
  do {
    if ((entry.attributes & kAttrDirectory) == 0) return true;
  } while (files.FindNext(find.get(), &entry));
  return false;
}

// The attributes of a name as the listing of its folder made in this probe tells them; none when the
// listing cannot tell (the name is not plain, lies on a drive other than a local disk, or its folder
// could not be listed), and in the plain probe.
std::optional<std::uint32_t> ListedAttributes(Engine& engine, const std::string& name) {
  FolderListings* listings = engine.Memo.Listings();
  if (listings == nullptr || engine.Plain.load() || !IsPlainLocalName(name)) return std::nullopt;
  const std::uint32_t type = DriveTypeOf(engine, static_cast<char>(name[0] & ~0x20));
  if (type != kDriveFixed && type != kDriveRamDisk) return std::nullopt;
  return listings->Attributes(engine.platform.files, name);
}

// The existence test as a probe asks it: answered from the probe's memo when the name was tested before,
// or from the listing of its folder. While the keys of 32-bit programs are read, a name is the one such a
// program would reach.
bool MemoFileExistsAsNamed(Engine& engine, const std::string& fileName, FindEntry& entry) {
  if (std::optional<bool> known = engine.Memo.Present(fileName)) return *known;
  // What a listing answers is remembered as a direct answer is: a name tested again costs one look-up.
  const std::optional<std::uint32_t> listed = ListedAttributes(engine, fileName);
  const bool present = listed ? *listed != kInvalidFileAttributes && (*listed & kAttrDirectory) == 0
                              : QuietFileExists(engine.platform.files, fileName, entry);
  engine.Memo.RememberPresent(fileName, present);
  return present;
}

bool MemoFileExists(Engine& engine, const std::string& name, FindEntry& entry) {
  if (!engine.WinInfo.Wow32) return MemoFileExistsAsNamed(engine, name, entry);
  return MemoFileExistsAsNamed(engine, Wow32FileName(engine.WinInfo.SystemRoot, name), entry);
}

// One run of ExtractFileFromCommand. The strings it keeps are reused for every folder and candidate, so
// that a search allocates nothing per candidate once they have grown to the longest path.
class CommandResolver {
 public:
  CommandResolver(Engine& engine, const std::string& command)
      : engine_(engine), files_(engine.platform.files), command_(command) {
    std::fill(std::begin(driveTypes_), std::end(driveTypes_), kInvalidFileAttributes);
  }

  bool Resolve(std::string& fileName);

 private:
  enum class Outcome { kNotFound, kFound, kStopped };

  Outcome SearchIn(const std::string& folder, const std::string& w, std::string& fileName);
  Outcome TryExtensions(std::string& fileName);
  std::size_t MissingFolderEnd();
  void MakeFullPath(std::string& path);
  void MakeShortPath(std::string& path);
  bool Exists(const std::string& name) { return MemoFileExists(engine_, name, entry_); }
  bool IsOutOfReach(const std::string& path);
  bool MayExist(const std::string& path);
  std::uint32_t Attributes(const std::string& name);

  Engine& engine_;
  FileSystemApi& files_;
  const std::string& command_;
  bool exemptProgram_ = false;  // the command starts explorer, rundll32 or regsvr32
  bool marked_ = false;         // a candidate was taken as present by that rule
  std::string placed_;          // the command's text placed in a folder, as written
  std::string path_;            // P: the command's text placed in a folder, as a full (short) path
  std::string candidate_;       // C: P up to a blank
  std::string withExtension_;   // C followed by one of the executable extensions
  std::string buffer_;          // what the platform writes path names into
  FindEntry entry_;
  std::uint32_t driveTypes_['Z' - 'A' + 1];  // each drive's type, asked once per command
};

// A path on the network, in any spelling or on a drive mapped to a share, is never handed to the file
// system, which would go out on the network for it; nor is a path on a drive the platform cannot look
// into. Both are taken as they are.
bool CommandResolver::IsOutOfReach(const std::string& path) {
  if (IsNetworkName(path)) return true;
  const char drive = NameDriveLetter(path);
  if (drive == 0) return false;
  std::uint32_t& type = driveTypes_[drive - 'A'];
  if (type == kInvalidFileAttributes) type = DriveTypeOf(engine_, drive);
  return IsOutOfReachDrive(type);
}

bool CommandResolver::Resolve(std::string& fileName) {
  // A redirection is not a program.
  if (StartsWith(command_, "<") || StartsWith(command_, ">")) {
    fileName = command_;
    return false;
  }
  // Nothing to run, or an entry marked "G@6!!", is taken as sound.
  if (command_.empty() || StartsWith(command_, "G@6!!")) {
    fileName.clear();
    return true;
  }
  // The quotes go. Inside them a "/" separates folders, as the system reads a path; outside them it begins
  // a switch, and the first such switch is where the program's text will end.
  std::string w;
  w.reserve(command_.size());
  std::size_t firstSwitch = std::string::npos;
  bool quoted = false;
  for (char c : command_) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '/' && quoted) {
      w += '\\';
    } else {
      if (c == '/' && firstSwitch == std::string::npos) firstSwitch = w.size();
      w += c;
    }
  }
  // A network path, in any spelling, is taken as present without asking the network (and so is a path on
  // a drive that cannot be looked into).
  if (IsOutOfReach(w)) {
    fileName = command_;
    return true;
  }

  // Switches and what follows them are dropped; the blank before a switch stays. The text ends at a NUL,
  // as the system would read it.
  fileName.clear();
  const std::size_t end = std::min(firstSwitch, w.find('\0'));
  if (end != std::string::npos) w.erase(end);

  // From here on a drive without a medium fails quietly; the mode is left set.
  files_.SetErrorMode(kSemFailCriticalErrors);

  // An unfilled command template, or a name present as it stands (a bare name: in the current folder).
  if (StartsWith(w, "%1") || Exists(w)) {
    fileName = w;
    return true;
  }

  // Whether the program is one that finds its argument its own way.
  exemptProgram_ = !SelfSearchingProgram(engine_, command_).empty();
  // A drive path is searched as it stands whatever the folder, so every folder repeats the first search
  // exactly; within a probe it is searched once.
  const bool searchedOnce = w.find('\\') == 2 && engine_.Memo.Active();
  for (const std::string& folder : engine_.SearchDirs) {
    switch (SearchIn(folder, w, fileName)) {
      case Outcome::kFound: return true;
      case Outcome::kStopped: fileName = candidate_; return marked_;
      case Outcome::kNotFound:
        if (marked_) {
          fileName = candidate_;
          return true;
        }
        break;
    }
    if (searchedOnce) break;
  }
  // Nothing found: fileName is the last candidate tried.
  fileName = candidate_;
  return false;
}

// The search in one folder: P is the text placed in the folder (unless it is a drive path already), made a
// full path and, when it names something that exists, a short one; then P is walked from the left, one
// blank-separated token more at a time, and each candidate is tested.
CommandResolver::Outcome CommandResolver::SearchIn(const std::string& folder, const std::string& w,
                                                   std::string& fileName) {
  if (w.find('\\') == 2) {
    path_ = w;
  } else {
    path_.assign(folder).append(w);
  }
  // A network folder of the search path, or a folder "\" before a name that starts with a backslash,
  // would reach the network: nothing is looked for there, so a stale share on "Path" never holds a probe
  // up. A program found only on a share of the search path is thus not found (nor one on a drive that
  // cannot be looked into).
  if (IsOutOfReach(path_)) return Outcome::kNotFound;
  if (std::optional<std::string> known = engine_.Memo.SearchPath(path_)) {
    path_ = *known;
  } else {
    placed_ = path_;
    MakeFullPath(path_);
    if (!IsOutOfReach(path_) && MayExist(path_)) MakeShortPath(path_);
    engine_.Memo.RememberSearchPath(placed_, path_);
  }
  if (IsOutOfReach(path_)) return Outcome::kNotFound;

  path_ += ' ';
  std::size_t tried = 0;
  std::size_t missingFolderEnd = std::string::npos;
  for (std::size_t blank = path_.find(' '); blank != std::string::npos; blank = path_.find(' ', blank + 1)) {
    // One command may hold thousands of candidates: the program's end is polled before each.
    if (engine_.ShuttingDown.load()) return Outcome::kStopped;
    candidate_.assign(path_, 0, blank);
    // A command of many words learns, once, which folder on P's way is missing: no name below it exists.
    if (++tried == kCandidatesBeforeFolderWalk) missingFolderEnd = MissingFolderEnd();
    if (NamesNothingAnywhere(candidate_) || blank > missingFolderEnd) {
      // Neither this candidate nor any longer one can exist, with or without an extension (it is too long
      // for any volume, or lies below a folder that is not there): the search of this folder ends as if
      // each had been tried in vain, the whole of P the last one tried. (A value of many words thus costs
      // time in its length, not in its length squared.)
      if (exemptProgram_) marked_ = true;
      candidate_.assign(path_, 0, path_.size() - 1);
      return Outcome::kNotFound;
    }
    if (Exists(candidate_)) {
      // Passed over when it is a folder or a volume label (or its attributes cannot be read).
      if ((Attributes(candidate_) & (kAttrVolumeLabel | kAttrDirectory)) != 0) continue;
      fileName = candidate_;
      return Outcome::kFound;
    }
    if (exemptProgram_) {
      // The program's argument may name a file the program finds its own way.
      marked_ = true;
    } else if (!HasExtension(candidate_)) {
      const Outcome outcome = TryExtensions(fileName);
      if (outcome != Outcome::kNotFound) return outcome;
    }
  }
  return Outcome::kNotFound;
}

// Where the first folder on P's way that does not exist ends (the backslash after it), or npos when every
// folder on the way exists or P holds a component of dots only ("a\..\b" may name what lies beside a
// missing "a"). Each folder is asked about at most once a probe.
std::size_t CommandResolver::MissingFolderEnd() {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path_.find('\\', start);
    const std::size_t componentEnd = end == std::string::npos ? path_.size() : end;
    std::size_t last = componentEnd;
    while (last > start && path_[last - 1] == ' ') --last;
    if (last > start && path_.find_first_not_of('.', start) >= last) return std::string::npos;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  // The root ("C:\", "\\") is not asked about; each folder after it is, from the left.
  for (std::size_t end = path_.find('\\', 3); end != std::string::npos; end = path_.find('\\', end + 1)) {
    const std::uint32_t attributes = Attributes(path_.substr(0, end));
    if (attributes == kInvalidFileAttributes || (attributes & kAttrDirectory) == 0) return end;
  }
  return std::string::npos;
}

// Whether the full path P may name something that exists, so that its short form may differ from it. Most
// placed paths still hold the command's arguments and name nothing: their short form would fail anyway and
// P stay as it is, so the short-path call (a walk of every folder on the way) is made only for a path
// whose attributes can be read, and for every path in the plain probe. A name with wildcard characters is
// left to the short-path call itself, whatever it makes of them.
bool CommandResolver::MayExist(const std::string& path) {
  if (engine_.Plain.load() || path.find_first_of("*?<>\"") != std::string::npos) return true;
  // Not kept in the memo: the short path made of P is (and most placed paths are asked about once).
  std::optional<std::uint32_t> known = engine_.Memo.Attributes(path);
  if (!known) known = ListedAttributes(engine_, path);
  return (known ? *known : files_.GetAttributes(path)) != kInvalidFileAttributes;
}

// A candidate's attributes (all bits set when they cannot be read), from the probe's memo when asked before.
std::uint32_t CommandResolver::Attributes(const std::string& asked) {
  std::string redirected;
  if (engine_.WinInfo.Wow32) redirected = Wow32FileName(engine_.WinInfo.SystemRoot, asked);
  const std::string& name = engine_.WinInfo.Wow32 ? redirected : asked;
  if (std::optional<std::uint32_t> known = engine_.Memo.Attributes(name)) return *known;
  const std::optional<std::uint32_t> listed = ListedAttributes(engine_, name);
  const std::uint32_t attributes = listed ? *listed : files_.GetAttributes(name);
  engine_.Memo.RememberAttributes(name, attributes);
  return attributes;
}

// C followed by each executable extension in turn; the program's end is polled before each test.
CommandResolver::Outcome CommandResolver::TryExtensions(std::string& fileName) {
  for (const std::string& extension : engine_.ExeExtensions) {
    if (engine_.ShuttingDown.load()) return Outcome::kStopped;
    withExtension_.assign(candidate_).append(extension);
    if (Exists(withExtension_)) {
      fileName = withExtension_;
      return Outcome::kFound;
    }
  }
  return Outcome::kNotFound;
}

// P := the full path of P. A path that needs more than the usual 260 characters gets a buffer of the size
// the platform asks for. When the platform makes no full path of it at all (too long for it, or not a
// path), P goes on as written.
void CommandResolver::MakeFullPath(std::string& path) {
  if (buffer_.size() < kPathBufferLength) buffer_.resize(kPathBufferLength);
  auto length = static_cast<std::uint32_t>(buffer_.size());
  std::uint32_t copied = files_.FullPathName(path, length, &buffer_[0]);
  if (copied > length) {
    buffer_.resize(copied);
    length = copied;
    copied = files_.FullPathName(path, length, &buffer_[0]);
  }
  if (copied > 0 && copied < length) path.assign(buffer_, 0, copied);
}

// P := its short 8.3 form, which exists only when the whole of P names something that exists; otherwise
// P stays the full path.
void CommandResolver::MakeShortPath(std::string& path) {
  auto length = static_cast<std::uint32_t>(buffer_.size());
  std::uint32_t copied = files_.ShortPathName(path, length, &buffer_[0]);
  if (copied > length) {
    buffer_.resize(copied);
    length = copied;
    copied = files_.ShortPathName(path, length, &buffer_[0]);
  }
  if (copied > 0 && copied < length) path.assign(buffer_, 0, copied);
}

}  // namespace

std::string CommandProgram(const std::string& command, std::string* arguments) {
  std::size_t start = 0;
  while (start < command.size() && command[start] == ' ') ++start;
  std::size_t end;
  std::size_t next;
  std::string program;
  if (start < command.size() && command[start] == '"') {
    end = command.find('"', start + 1);
    if (end == std::string::npos) end = command.size();
    program = command.substr(start + 1, end - start - 1);
    next = end < command.size() ? end + 1 : end;
  } else {
    end = command.find(' ', start);
    if (end == std::string::npos) end = command.size();
    program = command.substr(start, end - start);
    next = end;
  }
  if (arguments != nullptr) *arguments = Trim(command.substr(next));
  return program;
}

std::string SelfSearchingProgram(Engine& engine, const std::string& command) {
  std::string program = LowerAscii(CommandProgram(command, nullptr));
  const std::size_t slash = program.find_last_of('\\');
  if (slash != std::string::npos) {
    // A path counts only when it leads to the Windows folder or its system folder (either twin).
    const std::string folder = program.substr(0, slash);
    const std::string& windows = engine.WinInfo.SystemRoot;
    if (windows.empty() || (!SameText(folder, windows) && !SameText(folder, windows + "\\system32") &&
                            !SameText(folder, windows + "\\syswow64")))
      return std::string();
    program.erase(0, slash + 1);
  }
  if (program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0) program.resize(program.size() - 4);
  if (program == "explorer" || program == "rundll32" || program == "regsvr32") return program;
  return std::string();
}

NameReach ReachOf(Engine& engine, const std::string& name) {
  if (IsNetworkName(name)) return NameReach::kNetwork;
  const char drive = NameDriveLetter(name);
  if (drive == 0) return NameReach::kLocal;
  switch (DriveTypeOf(engine, drive)) {
    case kDriveRemote: return NameReach::kNetwork;
    case kDriveNotExaminable: return NameReach::kNotExaminable;
    default: return NameReach::kLocal;
  }
}

bool IsOnNetwork(Engine& engine, const std::string& name) { return ReachOf(engine, name) == NameReach::kNetwork; }

bool SafeFileExists(Engine& engine, const std::string& asked) {
  std::string redirected;
  if (engine.WinInfo.Wow32) redirected = Wow32FileName(engine.WinInfo.SystemRoot, asked);
  const std::string& fileName = engine.WinInfo.Wow32 ? redirected : asked;
  if (std::optional<bool> known = engine.Memo.Present(fileName)) return *known;
  const NameReach reach = ReachOf(engine, fileName);
  // A name on a drive that cannot be looked into is not held against the entry.
  if (reach == NameReach::kNotExaminable) return true;
  if (reach == NameReach::kNetwork) {
    // The network is given a few seconds; a share that does not answer is not held against the entry.
    QuietErrorMode quiet(engine.platform.files);
    const bool present = engine.platform.files.FindNetworkFile(fileName, kNetworkWaitMs) != NetworkFileAnswer::kAbsent;
    engine.Memo.RememberPresent(fileName, present);
    return present;
  }
  FindEntry entry;
  return MemoFileExistsAsNamed(engine, fileName, entry);
}

bool ExtractFileFromCommand(Engine& engine, const std::string& command, std::string& fileName) {
  // A command is judged, never an error: a failure to allocate for an absurdly long command or for a
  // buffer size the platform asks for, or anything a platform implementation raises, makes it not
  // resolvable.
  try {
    return CommandResolver(engine, command).Resolve(fileName);
  } catch (const std::exception&) {
    return false;
  }
}

bool DirectoryExists(Engine& engine, const std::string& path) {
  if (IsNetworkName(path)) return false;
  const std::uint32_t attributes = engine.platform.files.GetAttributes(path);
  return attributes != kInvalidFileAttributes && (attributes & kAttrDirectory) != 0;
}

std::string ExtractFileExt(const std::string& fileName) {
  const std::size_t at = fileName.find_last_of(".\\:");
  return at != std::string::npos && fileName[at] == '.' ? fileName.substr(at) : std::string();
}

}  // namespace kv
