#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <functional>
#include <thread>
#include <vector>

#include "runtime/failure.h"
#include "runtime/platform.h"
#include "runtime/windows/device_paths.h"
#include "runtime/windows/file_security.h"
#include "runtime/windows/owned.h"
#include "tests/support/failures.h"
#include "tests/support/temp_folder.h"

namespace orvane {
namespace {

using testing::failure_number;

std::size_t files_in(const std::filesystem::path& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

std::wstring wide(const Text& text) {
  return std::wstring(text.begin(), text.end());
}

TEST(WindowsFileSystem, FailuresCarryTheRuntimeNumbers) {
  testing::TempFolder folder;
  auto files = native_file_system();
  EXPECT_EQ(failure_number([&] { files->open_for_reading(folder.text("missing")); }), 53);
  EXPECT_EQ(failure_number([&] { files->open_for_reading(folder.text("no\\such")); }), 76);
  EXPECT_EQ(failure_number([&] { files->open_for_replacing(folder.text("no\\such"), {}); }), 76);
  EXPECT_EQ(failure_number([&] { files->create_folder(folder.text("a\\b")); }), 76);
  files->create_folder(folder.text("logs"));
  EXPECT_EQ(failure_number([&] { files->create_folder(folder.text("logs")); }), 58);
  EXPECT_EQ(failure_number([&] { files->open_for_replacing(folder.text("logs"), {}); }), 75);
  EXPECT_GT(failure_number([&] { files->open_for_reading(folder.text("logs")); }), 0);
  EXPECT_EQ(failure_number([&] { files->open_for_reading(folder.text() + Text(u"\\a\0b", 4)); }),
            52);
}

TEST(WindowsFileSystem, AReplacementIsWholeOrNothingAndLeavesNoTemporaryFile) {
  testing::TempFolder folder;
  auto files = native_file_system();
  testing::write_file(folder.path() / "f", std::string("old"));
  {
    auto abandoned = files->open_for_replacing(folder.text("f"), {});
    abandoned->write(Bytes{'h', 'a', 'l', 'f'});
  }
  EXPECT_EQ(testing::read_file(folder.path() / "f"), "old");
  EXPECT_EQ(files_in(folder.path()), 1u);

  auto output = files->open_for_replacing(folder.text("f"), {});
  output->write(Bytes{'n', 'e', 'w'});
  EXPECT_EQ(testing::read_file(folder.path() / "f"), "old");
  output->commit();
  EXPECT_EQ(testing::read_file(folder.path() / "f"), "new");
  EXPECT_EQ(files_in(folder.path()), 1u);
}

bool under_wine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The access list of `path`: whether only its owner may use it, inheriting nothing.
bool owner_only(const std::filesystem::path& path) {
  PACL acl = nullptr;
  windows::LocalMemory<void> descriptor;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &acl, nullptr, descriptor.put()) != ERROR_SUCCESS) {
    return false;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ::GetSecurityDescriptorControl(descriptor.get(), &control, &revision);
  return acl != nullptr && acl->AceCount == 1 && (control & SE_DACL_PROTECTED) != 0;
}

TEST(WindowsFileSystem, AFileCarryingContentIsTheCallersAloneFromItsFirstByte) {
  testing::TempFolder folder;
  auto files = native_file_system();
  testing::write_file(folder.path() / "source.pdf", std::string("%PDF"));
  auto output = files->open_for_replacing(folder.text("m.txt"),
                                          {.content_source = folder.text("source.pdf")});
  output->write(Bytes{'M', 'I', 'I'});
  output->commit();
  EXPECT_EQ(testing::read_file(folder.path() / "m.txt"), "MII");
  // Wine makes a file's access list up from its Unix mode.
  if (!under_wine()) {
    EXPECT_TRUE(owner_only(folder.path() / "m.txt"));
  }

  // The descriptor is handed about by value: it must hold offsets, not pointers into a buffer
  // that is gone after the first copy.
  const std::vector<std::uint8_t> descriptor = windows::owner_only_security();
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(const_cast<std::uint8_t*>(descriptor.data()), &control,
                                             &revision));
  EXPECT_NE(control & SE_SELF_RELATIVE, 0);
  EXPECT_NE(control & SE_DACL_PROTECTED, 0);
}

TEST(WindowsFileSystem, ConcurrentAppendsNeitherInterleaveNorOverwrite) {
  // Wine 8 writes to an append-only handle at the size it has just read, not atomically at the
  // end as Windows does, so that concurrent entries overwrite one another there.
  if (under_wine()) GTEST_SKIP() << "Wine's appends are not atomic";
  testing::TempFolder folder;
  auto files = native_file_system();
  const Text log = folder.text("log.txt");
  constexpr int writers = 4;
  constexpr int entries = 100;
  std::vector<std::thread> threads;
  for (int w = 0; w < writers; ++w) {
    threads.emplace_back([&, w] {
      const Bytes entry(200, static_cast<std::uint8_t>('a' + w));
      for (int i = 0; i < entries; ++i) files->append(log, entry);
    });
  }
  for (auto& thread : threads) thread.join();
  const std::string text = testing::read_file(folder.path() / "log.txt");
  ASSERT_EQ(text.size(), std::size_t{writers * entries * 200});
  for (std::size_t at = 0; at < text.size(); at += 200) {
    EXPECT_EQ(text.substr(at, 200), std::string(200, text[at])) << "entry at " << at;
  }
}

TEST(WindowsFileSystem, DevicesAndPipesAreRefusedBeforeAnythingIsOpened) {
  testing::TempFolder folder;
  auto files = native_file_system();
  for (const Text& device :
       {Text(u"NUL"), Text(u"con"), Text(u"CONIN$"), folder.text("COM1"), folder.text("nul.txt"),
        folder.text("lpt1 .log"), Text(u"\\\\.\\pipe\\orvane"), Text(u"//./PhysicalDrive0"),
        Text(u"\\\\?\\GLOBALROOT\\Device\\Null"), Text(u"\\??\\C:\\x"),
        Text(u"\\\\server\\PIPE\\orvane")}) {
    EXPECT_EQ(failure_number([&] { files->open_for_reading(device); }), 75);
    EXPECT_EQ(failure_number([&] { files->append(device, Bytes{'x'}); }), 75);
    EXPECT_EQ(failure_number([&] { files->open_for_replacing(device, {}); }), 75);
    EXPECT_FALSE(files->file_exists(device));
  }
  // Names that only look alike are files like any other.
  for (const TextView name : {u"C:\\d\\console.txt", u"C:\\d\\COM10", u"C:\\d\\nully",
                              u"\\\\?\\C:\\d\\a.txt", u"\\\\?\\UNC\\server\\share\\a"}) {
    EXPECT_FALSE(windows::is_device_path(name)) << text_to_utf8(name);
  }
}

TEST(WindowsFileSystem, ALinkOrASecondNameIsNeverTakenForTheLog) {
  testing::TempFolder folder;
  auto files = native_file_system();
  testing::write_file(folder.path() / "elsewhere", std::string("kept"));
  const Text target = folder.text("elsewhere");
  const Text hard = folder.text("hard.log");
  const Text symbolic = folder.text("symbolic.log");
  int links = 0;
  if (::CreateHardLinkW(wide(hard).c_str(), wide(target).c_str(), nullptr)) {
    ++links;
    EXPECT_EQ(failure_number([&] { files->append(hard, Bytes{'x'}); }), 75);
  }
  // Wine 8 answers success without making the link: only a reparse point that is there counts.
  const DWORD attributes = ::CreateSymbolicLinkW(wide(symbolic).c_str(), wide(target).c_str(),
                                                 SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)
                               ? ::GetFileAttributesW(wide(symbolic).c_str())
                               : INVALID_FILE_ATTRIBUTES;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    ++links;
    EXPECT_EQ(failure_number([&] { files->append(symbolic, Bytes{'x'}); }), 75);
  }
  EXPECT_EQ(testing::read_file(folder.path() / "elsewhere"), "kept");
  if (links == 0) GTEST_SKIP() << "this system makes neither hard nor symbolic links";
}

TEST(WindowsFileSystem, AnyNameACallerWritesIsTheNameOnDisk) {
  testing::TempFolder folder;
  auto files = native_file_system();
  // Greek, CJK and a character beyond the BMP: none of them is in the ANSI code page.
  const Text name = folder.text() + u"\\\u03a3\u540d-\U0001F600.txt";
  auto output = files->open_for_replacing(name, {});
  output->write(Bytes{'x'});
  output->commit();
  files->append(name, Bytes{'y'});
  EXPECT_TRUE(files->file_exists(name));
  EXPECT_TRUE(files->same_file(name, name));
  EXPECT_FALSE(files->same_file(name, folder.text()));
  const std::filesystem::path on_disk(std::u16string(name.begin(), name.end()));
  EXPECT_EQ(testing::read_file(on_disk), "xy");
  auto input = files->open_for_reading(name);
  EXPECT_EQ(input->size(), 2u);
}

TEST(WindowsFileSystem, AShortNameIsAnAliasOfTheLongOne) {
  testing::TempFolder folder;
  auto files = native_file_system();
  testing::write_file(folder.path() / "Quarterly board report.pdf", std::string("board"));
  const Text long_name = folder.text("Quarterly board report.pdf");
  wchar_t short_path[MAX_PATH] = {};
  const DWORD length = ::GetShortPathNameW(wide(long_name).c_str(), short_path, MAX_PATH);
  ASSERT_GT(length, 0u);
  const Text short_name =
      folder.text() + u"\\" + Text(std::filesystem::path(short_path).filename().u16string());
  EXPECT_FALSE(files->is_alias(long_name));
  EXPECT_FALSE(files->is_alias(folder.text("QUARTERLY BOARD REPORT.PDF")));
  EXPECT_FALSE(files->is_alias(folder.text("missing.pdf")));
  if (short_name == long_name) GTEST_SKIP() << "this volume makes no short names";
  EXPECT_TRUE(files->is_alias(short_name));
}

TEST(WindowsFileSystem, AnOutputCarriesTheMarkOfTheWebOfItsOrigin) {
  testing::TempFolder folder;
  auto files = native_file_system();
  const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\n";
  testing::write_file(folder.path() / "m.p7s", std::string("message"));
  const Text source_mark = folder.text("m.p7s") + u":Zone.Identifier";
  testing::write_file(std::filesystem::path(std::u16string(source_mark)), mark);
  auto output = files->open_for_replacing(
      folder.text("m.pdf"),
      {.content_source = folder.text("m.p7s"), .origin = folder.text("m.p7s")});
  output->write(Bytes{'%', 'P', 'D', 'F'});
  output->commit();
  EXPECT_EQ(testing::read_file(folder.path() / "m.pdf"), "%PDF");
  const std::filesystem::path restored_mark(
      std::u16string(folder.text("m.pdf") + u":Zone.Identifier"));
  DWORD flags = 0;
  ASSERT_TRUE(::GetVolumeInformationW((folder.path().root_path().wstring()).c_str(), nullptr, 0,
                                      nullptr, nullptr, &flags, nullptr, 0));
  if ((flags & FILE_NAMED_STREAMS) != 0) {
    EXPECT_EQ(testing::read_file(restored_mark), mark);
  } else {
    // Wine keeps no streams: it would make a file of the stream's name beside the temporary one,
    // which the rename leaves behind.
    EXPECT_FALSE(std::filesystem::exists(restored_mark));
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      EXPECT_NE(entry.path().filename().wstring().substr(0, 4), L".orv");
    }
  }
}

TEST(WindowsFileSystem, PathsPastMaxPathAreWritten) {
  testing::TempFolder folder;
  auto files = native_file_system();
  Text deep = folder.text();
  for (const char16_t letter : {u'a', u'b', u'c'}) {
    deep += u"\\" + Text(100, letter);
    files->create_folder(deep);
  }
  const Text name = deep + u"\\x.txt";
  ASSERT_GT(name.size(), std::size_t{MAX_PATH});
  for (const Text& path : {name, u"\\\\?\\" + name}) {
    auto output = files->open_for_replacing(path, {});
    output->write(Bytes{'x'});
    output->commit_as_new();
    EXPECT_TRUE(files->file_exists(path));
    EXPECT_EQ(files->open_for_reading(path)->size(), 1u);
    EXPECT_EQ(failure_number([&] {
                auto again = files->open_for_replacing(path, {});
                again->commit_as_new();
              }),
              58);
    ::DeleteFileW(wide(u"\\\\?\\" + name).c_str());
  }
}

}  // namespace
}  // namespace orvane
