// The COM class registrations: the eight file-naming subkeys of each class under HKEY_CLASSES_ROOT\CLSID.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "scan/sections/com_classes.h"
#include "tests/testing/section_test.h"

namespace kv::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kClassA = "{11111111-2222-3333-4444-555555555555}";
const std::string kClassB = "{22222222-3333-4444-5555-666666666666}";
const std::string kClassC = "{33333333-4444-5555-6666-777777777777}";
const std::string kOtherClass = "{00021401-0000-0000-C000-000000000046}";

const char* const kSubkeys[] = {"DefaultIcon",  "InprocHandler32", "InprocHandler", "InProcServer32",
                                "InProcServer", "LocalServer32",   "LocalServer",   "PersistentHandler"};

std::string ClassKey(const std::string& classId) { return "HKEY_CLASSES_ROOT\\CLSID\\" + classId; }

class ComClasses : public SectionTest {
 protected:
  void SetUp() override {
    for (const char* file : {"C:\\WINDOWS\\system32\\shell32.dll", "C:\\App\\handler.dll",
                             "C:\\Program Files\\App\\server.exe", "C:\\Odd,Folder\\icons.dll"})
      memory_.files.AddFile(file);
  }

  void SetDefault(const std::string& classId, const std::string& subkey, const std::string& text,
                  std::uint32_t type = REG_SZ_TYPE) {
    memory_.registry.SetString(ClassKey(classId) + "\\" + subkey, "", text, type);
  }

  Strings Scan() {
    section_.reset();
    section_ = std::make_unique<TClsIdTYPES>(Load());
    return SectionTest::Scan(*section_).list;
  }

  std::unique_ptr<TClsIdTYPES> section_;
};

TEST_F(ComClasses, JudgesTheDefaultValueOfEachSubkey) {
  struct Case {
    std::string what;
    std::string subkey;
    std::string text;
    bool faulty;
  };
  std::vector<Case> cases = {
      {"DefaultIcon with %SystemRoot% and a negative index", "DefaultIcon", "%SystemRoot%\\system32\\shell32.dll,-154",
       false},
      {"DefaultIcon with %SystemRoot% naming a missing file", "DefaultIcon", "%SystemRoot%\\system32\\gone.dll,-154",
       true},
      {"DefaultIcon with commas inside its path", "DefaultIcon", "C:\\Odd,Folder\\icons.dll,2", false},
      {"DefaultIcon of only commas and an index", "DefaultIcon", ",,1", false},
      {"DefaultIcon without an index", "DefaultIcon", "C:\\App\\handler.dll", false},
      {"DefaultIcon holding a class identifier", "DefaultIcon", kOtherClass, true},
      {"InProcServer32 naming a DLL", "InProcServer32", "C:\\App\\handler.dll", false},
      {"InProcServer32 holding a class identifier", "InProcServer32", kOtherClass, false},
      {"InProcServer32 holding a lower-case class identifier", "InProcServer32",
       "{00021401-0000-0000-c000-000000000046}", false},
      {"InProcServer32 holding a class identifier without braces", "InProcServer32",
       "00021401-0000-0000-C000-000000000046", true},
      {"LocalServer32 with a quoted path and arguments", "LocalServer32",
       "\"C:\\Program Files\\App\\server.exe\" -Embedding", false},
      {"LocalServer32 with a path and a switch", "LocalServer32", "C:\\Program Files\\App\\server.exe /automation",
       false},
      {"LocalServer32 naming a missing program with arguments", "LocalServer32", "C:\\App\\gone.exe -Embedding", true},
      {"PersistentHandler holding a class identifier", "PersistentHandler", kOtherClass, false},
  };
  for (const char* subkey : kSubkeys) {
    cases.push_back({std::string(subkey) + " empty", subkey, "", false});
    cases.push_back({std::string(subkey) + " naming a missing file", subkey, "C:\\App\\missing.dll", true});
    if (std::string(subkey) != "DefaultIcon")
      cases.push_back({std::string(subkey) + " holding a class identifier", subkey, kOtherClass, false});
  }
  for (const Case& c : cases) {
    memory_.registry.DeleteKey("HKEY_CLASSES_ROOT\\CLSID");
    SetDefault(kClassA, c.subkey, c.text);
    const Strings expected = c.faulty ? Strings{ClassKey(kClassA) + "\\" + c.subkey} : Strings{};
    EXPECT_EQ(Scan(), expected) << c.what << ": " << c.text;
  }
}

TEST_F(ComClasses, ValuesThatReadAsNothingAreSound) {
  memory_.registry.CreateKey(ClassKey(kClassA) + "\\InProcServer32");  // no default value at all
  memory_.registry.SetDword(ClassKey(kClassA) + "\\LocalServer32", "", 1);
  memory_.registry.SetString(ClassKey(kClassA) + "\\InprocHandler32", "ThreadingModel", "C:\\gone.dll");
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 1);
}

TEST_F(ComClasses, FaultNamesTheKeyAsOpened) {
  SetDefault(kClassA, "LocalServer32", "C:\\App\\gone.exe");
  EXPECT_EQ(Scan(), Strings{"HKEY_CLASSES_ROOT\\CLSID\\{11111111-2222-3333-4444-555555555555}\\LocalServer32"});
  // A subkey stored in another case is found, and named the way it was asked for.
  memory_.registry.DeleteKey("HKEY_CLASSES_ROOT\\CLSID");
  SetDefault(kClassA, "inprocserver32", "C:\\App\\gone.dll");
  EXPECT_EQ(Scan(), Strings{ClassKey(kClassA) + "\\InProcServer32"});
}

TEST_F(ComClasses, FirstFaultEndsTheScan) {
  SetDefault(kClassA, "DefaultIcon", "C:\\Icons\\a-icon.ico,0");
  SetDefault(kClassA, "InProcServer32", "C:\\App\\a-server.dll");
  SetDefault(kClassB, "LocalServer32", "C:\\App\\b-server.exe");
  trace_.Clear();
  EXPECT_EQ(Scan(), Strings{ClassKey(kClassA) + "\\DefaultIcon"});
  EXPECT_EQ(events_, 0);
  EXPECT_FALSE(FileSystemAsked("a-server")) << "no later subkey of the class is examined";
  EXPECT_FALSE(FileSystemAsked("b-server")) << "no later class is examined";
}

TEST_F(ComClasses, OneProgressEventPerSoundClass) {
  SetDefault(kClassA, "InProcServer32", "C:\\App\\handler.dll");
  memory_.registry.CreateKey(ClassKey(kClassB));  // a class without subkeys
  SetDefault(kClassC, "LocalServer32", "\"C:\\Program Files\\App\\server.exe\" -Embedding");
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 3);
}

TEST_F(ComClasses, MissingOrEmptyClassKeyIsClean) {
  EXPECT_EQ(Scan(), Strings{});
  memory_.registry.CreateKey("HKEY_CLASSES_ROOT\\CLSID");
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 0);
}

TEST_F(ComClasses, StopsBetweenClasses) {
  SetDefault(kClassA, "InProcServer32", "C:\\App\\handler.dll");
  SetDefault(kClassB, "InProcServer32", "C:\\App\\b-server.dll");
  for (bool shuttingDown : {false, true}) {
    onEvent_ = [this, shuttingDown] {
      if (shuttingDown)
        engine_->ShuttingDown = true;
      else
        section_->Cancelled = true;
    };
    events_ = 0;
    trace_.Clear();
    EXPECT_EQ(Scan(), Strings{}) << "the section's list is no work list: nothing stays in it";
    EXPECT_EQ(events_, 1);
    EXPECT_FALSE(FileSystemAsked("b-server"));
    EXPECT_EQ(audit_.OpenKeys(), 0u);
  }
}

TEST_F(ComClasses, HoldsOneKeyHandleAtATime) {
  for (const std::string& classId : {kClassA, kClassB, kClassC}) {
    for (const char* subkey : kSubkeys) SetDefault(classId, subkey, "C:\\App\\handler.dll");
  }
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(events_, 3);
  EXPECT_EQ(audit_.MostOpenKeys(), 1u);
  EXPECT_EQ(audit_.OpenKeys(), 0u);

  // Ended by a fault, or by an exception from the progress event, the scan still closes its key.
  SetDefault(kClassC, "PersistentHandler", "C:\\App\\gone.dll");
  EXPECT_EQ(Scan(), Strings{ClassKey(kClassC) + "\\PersistentHandler"});
  EXPECT_EQ(audit_.MostOpenKeys(), 1u);
  EXPECT_EQ(audit_.OpenKeys(), 0u);
  onEvent_ = [] { throw std::runtime_error("progress handler failed"); };
  EXPECT_THROW(Scan(), std::runtime_error);
  EXPECT_EQ(audit_.OpenKeys(), 0u);
}

TEST_F(ComClasses, SubkeysAreOpenedWithTheRightsThatOpenedTheClassKey) {
  // CLSID opens read-only with KEY_READ, and every subkey is then asked for KEY_READ: a subkey that
  // grants just that is examined, one that grants only value queries is passed over.
  SetDefault(kClassA, "InProcServer32", "C:\\App\\gone-a.dll");
  memory_.registry.SetKeyAccess(ClassKey(kClassA) + "\\InProcServer32", kKeyRead);
  EXPECT_EQ(Scan(), Strings{ClassKey(kClassA) + "\\InProcServer32"});

  memory_.registry.SetKeyAccess(ClassKey(kClassA) + "\\InProcServer32", kKeyQueryValue);
  EXPECT_EQ(Scan(), Strings{});
  EXPECT_EQ(section_->Registry.Access, kKeyRead);
}

}  // namespace
}  // namespace kv::testing
