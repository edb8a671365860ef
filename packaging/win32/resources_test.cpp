// Reads what a finished program carries around its dialog back out of the .exe, loaded as a data
// file as Explorer would: its version information, its first icon group, which must be the
// program's .ico image for image, and its manifest, which the system must accept and which must
// bring Common Controls 6.
//   package_resources_test PROGRAM.exe PROGRAM.ico [REFERENCE.exe]
// With a reference (the program's template test), resource 100 must be the same bytes in both.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "testing/project_version.h"

namespace {

std::string program_path;
std::string icon_path;
std::string reference_path;

std::string file_name(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

// A module loaded for its resources only: nothing of it runs.
class DataModule {
 public:
  explicit DataModule(const std::string& path)
      : module_(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  DataModule(const DataModule&) = delete;
  DataModule& operator=(const DataModule&) = delete;
  ~DataModule() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }

  // The bytes of one resource, or nothing when it is missing.
  std::vector<std::uint8_t> resource(LPCSTR name, LPCSTR type) const {
    const HRSRC found = FindResourceA(module_, name, type);
    if (found == nullptr) return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module_, found)));
    if (data == nullptr) return {};
    return {data, data + SizeofResource(module_, found)};
  }

 private:
  HMODULE module_;
};

std::string version_string(const std::vector<char>& block, const char* name) {
  // US English, Unicode: the pair the resource script declares in its Translation value.
  const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || length == 0)
    return "(missing)";
  return value;
}

TEST(ProgramResources, VersionInformationNamesTheProgramItsProductAndVersion) {
  const DWORD size = GetFileVersionInfoSizeA(program_path.c_str(), nullptr);
  ASSERT_GT(size, 0u) << "no version information in " << program_path;
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(program_path.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof *fixed);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  // The project's version, major.minor.patch.0: with 1.0.0, 0x00010000 and 0.
  const std::optional<ProjectVersion> version = project_version();
  ASSERT_TRUE(version) << "not a version: " TOOL_TEST_VERSION;
  const DWORD version_ms = version->major << 16 | version->minor;
  const DWORD version_ls = version->patch << 16;
  EXPECT_EQ(fixed->dwFileVersionMS, version_ms);
  EXPECT_EQ(fixed->dwFileVersionLS, version_ls);
  EXPECT_EQ(fixed->dwProductVersionMS, version_ms);
  EXPECT_EQ(fixed->dwProductVersionLS, version_ls);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  EXPECT_EQ(version_string(block, "ProductName"), "RGB565 Tools");
  EXPECT_EQ(version_string(block, "FileVersion"), version->text + ".0");
  EXPECT_EQ(version_string(block, "ProductVersion"), version->text + ".0");
  EXPECT_EQ(version_string(block, "OriginalFilename"), file_name(program_path));
  EXPECT_EQ(version_string(block, "LegalCopyright").rfind("Copyright (c) 2026 The Maintainers", 0), 0u);
  EXPECT_NE(version_string(block, "LegalCopyright").find("MIT License"), std::string::npos);
  EXPECT_GT(version_string(block, "FileDescription").size(), std::string("(missing)").size());
}

#pragma pack(push, 2)
struct IconFileEntry {  // ICONDIRENTRY of an .ico file
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes, offset;
};
struct IconGroupEntry {  // GRPICONDIRENTRY of an RT_GROUP_ICON resource
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)
static_assert(sizeof(IconFileEntry) == 16 && sizeof(IconGroupEntry) == 14);

BOOL CALLBACK take_first_name(HMODULE, LPCSTR, LPSTR name, LONG_PTR first) {
  *reinterpret_cast<LPSTR*>(first) = IS_INTRESOURCE(name) ? name : nullptr;
  return FALSE;
}

TEST(ProgramResources, FirstIconGroupIsTheProgramsIconImageForImage) {
  std::ifstream in(icon_path, std::ios::binary);
  const std::vector<std::uint8_t> ico{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GE(ico.size(), 6u) << "cannot read " << icon_path;
  const std::size_t image_count = ico[4] | ico[5] << 8;

  const DataModule program(program_path);
  ASSERT_NE(program.get(), nullptr) << "cannot load " << program_path;
  LPSTR first = nullptr;
  EnumResourceNamesA(program.get(), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, take_first_name,
                     reinterpret_cast<LONG_PTR>(&first));
  ASSERT_NE(first, nullptr) << "no icon group with a numeric name";
  const std::vector<std::uint8_t> group = program.resource(first, MAKEINTRESOURCEA(14));
  ASSERT_EQ(group.size(), 6 + image_count * sizeof(IconGroupEntry));
  ASSERT_EQ(group[4] | group[5] << 8, static_cast<int>(image_count));

  bool has_16 = false, has_32 = false;
  for (std::size_t i = 0; i < image_count; ++i) {
    IconFileEntry from_file;
    IconGroupEntry from_group;
    ASSERT_LE(6 + (i + 1) * sizeof from_file, ico.size());
    std::memcpy(&from_file, ico.data() + 6 + i * sizeof from_file, sizeof from_file);
    std::memcpy(&from_group, group.data() + 6 + i * sizeof from_group, sizeof from_group);
    EXPECT_EQ(from_group.width, from_file.width) << "image " << i;
    EXPECT_EQ(from_group.bit_count, from_file.bit_count) << "image " << i;
    ASSERT_LE(std::size_t{from_file.offset} + from_file.bytes, ico.size());
    const std::vector<std::uint8_t> expected(ico.begin() + from_file.offset,
                                             ico.begin() + from_file.offset + from_file.bytes);
    EXPECT_EQ(program.resource(MAKEINTRESOURCEA(from_group.id), MAKEINTRESOURCEA(3) /* RT_ICON */), expected)
        << "image " << i << " (" << int{from_file.width} << " px)";
    has_16 = has_16 || from_file.width == 16;
    has_32 = has_32 || from_file.width == 32;
  }
  EXPECT_TRUE(has_16 && has_32) << "lists and the desktop need 16 and 32 px images";

  // The system picks and decodes the small image from the group as it would for a title bar.
  const int id = LookupIconIdFromDirectoryEx(const_cast<PBYTE>(group.data()), TRUE, 16, 16, LR_DEFAULTCOLOR);
  std::vector<std::uint8_t> image = program.resource(MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3));
  ASSERT_FALSE(image.empty());
  const HICON icon = CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE, 0x00030000, 16, 16,
                                              LR_DEFAULTCOLOR);
  EXPECT_NE(icon, nullptr);
  if (icon != nullptr) DestroyIcon(icon);
}

// An activation context made from the program's manifest, as the loader makes it at start.
class ManifestContext {
 public:
  explicit ManifestContext(const std::string& path) {
    ACTCTXA description{};
    description.cbSize = sizeof description;
    description.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    description.lpSource = path.c_str();
    description.lpResourceName = MAKEINTRESOURCEA(1);  // CREATEPROCESS_MANIFEST_RESOURCE_ID
    context_ = CreateActCtxA(&description);
  }
  ManifestContext(const ManifestContext&) = delete;
  ManifestContext& operator=(const ManifestContext&) = delete;
  ~ManifestContext() {
    if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
  }
  HANDLE get() const { return context_; }

 private:
  HANDLE context_;
};

// {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a} and {e2011457-1546-43c5-a5fe-008deee3d3f0}, as
// Microsoft lists them for Windows 10 and Vista.
constexpr GUID windows_10 = {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}};
constexpr GUID windows_vista = {0xe2011457, 0x1546, 0x43c5, {0xa5, 0xfe, 0x00, 0x8d, 0xee, 0xe3, 0xd3, 0xf0}};

TEST(ProgramResources, ManifestBringsCommonControls6SystemDpiAwarenessAndSupportedWindows) {
  const ManifestContext context(program_path);
  ASSERT_NE(context.get(), INVALID_HANDLE_VALUE) << "the system refuses the manifest: error " << GetLastError();

  // With the context active, the loader resolves comctl32.dll to the side-by-side assembly the
  // manifest depends on; without it, to the system folder's Common Controls 5.
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(context.get(), &cookie));
  const HMODULE controls = LoadLibraryA("comctl32.dll");
  char loaded_from[MAX_PATH] = {};
  if (controls != nullptr) {
    GetModuleFileNameA(controls, loaded_from, MAX_PATH);
    FreeLibrary(controls);
  }
  DeactivateActCtx(0, cookie);
  std::string assembly = loaded_from;
  for (char& c : assembly) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // The side-by-side folder's name starts with the architecture: the program's own.
  const std::string architecture = sizeof(void*) == 4 ? "x86" : "amd64";
  EXPECT_NE(assembly.find("\\winsxs\\" + architecture + "_microsoft.windows.common-controls_6595b64144ccf1df_6."),
            std::string::npos)
      << "comctl32.dll came from " << loaded_from;

  WCHAR setting[32] = {};
  SIZE_T written = 0;
  ASSERT_TRUE(QueryActCtxSettingsW(0, context.get(), nullptr, L"dpiAware", setting, sizeof setting / sizeof *setting,
                                   &written));
  EXPECT_STREQ(setting, L"true");

  std::vector<std::uint8_t> buffer(1024);
  SIZE_T needed = 0;
  ASSERT_TRUE(QueryActCtxW(0, context.get(), nullptr, CompatibilityInformationInActivationContext, buffer.data(),
                           buffer.size(), &needed));
  // Windows 10's layout (Wine's too) gives each element a MaxVersionTested: 32-byte elements after
  // an 8-byte head. Earlier versions return 20-byte elements after the 4-byte count. The size
  // returned tells which.
  DWORD count = 0;
  std::memcpy(&count, buffer.data(), sizeof count);
  const bool with_max_version = needed == 8 + std::size_t{count} * 32;
  const std::size_t head = with_max_version ? 8 : 4, stride = with_max_version ? 32 : 20;
  ASSERT_EQ(needed, head + std::size_t{count} * stride);
  bool supports_10 = false, supports_vista = false;
  for (DWORD i = 0; i < count; ++i) {
    GUID id;
    DWORD type = 0;
    std::memcpy(&id, buffer.data() + head + i * stride, sizeof id);
    std::memcpy(&type, buffer.data() + head + i * stride + sizeof id, sizeof type);
    if (type != ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS) continue;
    supports_10 = supports_10 || IsEqualGUID(id, windows_10);
    supports_vista = supports_vista || IsEqualGUID(id, windows_vista);
  }
  EXPECT_EQ(count, 5u);
  EXPECT_TRUE(supports_10);
  EXPECT_TRUE(supports_vista);
}

TEST(ProgramResources, DialogTemplateIsTheTemplateTestsOwn) {
  if (reference_path.empty()) GTEST_SKIP() << "not a dialog program";
  const DataModule program(program_path);
  const DataModule reference(reference_path);
  ASSERT_NE(reference.get(), nullptr) << "cannot load " << reference_path;
  const std::vector<std::uint8_t> expected = reference.resource(MAKEINTRESOURCEA(100), MAKEINTRESOURCEA(5));
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(program.resource(MAKEINTRESOURCEA(100), MAKEINTRESOURCEA(5)), expected);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: package_resources_test PROGRAM.exe PROGRAM.ico [REFERENCE.exe]\n");
    return 2;
  }
  program_path = argv[1];
  icon_path = argv[2];
  if (argc == 4) reference_path = argv[3];
  return RUN_ALL_TESTS();
}
