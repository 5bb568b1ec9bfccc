// The other formats through the Windows Imaging Component, on the picture generator's files: PNG and
// GIF decode to their exact pixels, the content decides the decoder, and every bad input ends in a status
// the saver falls back on, never in a decoded picture it should not have.
#include "platform/imaging_component_win32.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "platform/picture_files_win32.h"
#include "platform/picture_orientation.h"
#include "platform/test_pictures.h"

namespace lumar {
namespace {

const std::string kPictures = "Z:" LUMAR_SOURCE_DIR "/tests/platform/pictures/";

struct FileCase {
  const char* file;
  ImageStatus status;
  ImageFileKind kind;
  uint32_t width, height;
  int orientation;  // of a lossless file: its pixels are the quarters turned this way
};

TEST(ImagingComponent, DecodesByContentWithinTheCaps) {
  ASSERT_TRUE(ImagingComponentAvailable());
  const FileCase cases[] = {
      {"quarters.png", ImageStatus::kOk, ImageFileKind::kOther, 96, 64, 1},
      {"quarters.gif", ImageStatus::kOk, ImageFileKind::kOther, 96, 64, 1},
      {"quarters_orientation8.tif", ImageStatus::kOk, ImageFileKind::kOther, 64, 96, 8},
      {"jpeg_named.png", ImageStatus::kOk, ImageFileKind::kJpeg, 96, 64, 0},
      {"quarters_orientation6.jpg", ImageStatus::kOk, ImageFileKind::kJpeg, 64, 96, 0},
      // Refused on its header: no 3.6 GB of pixels is ever asked for.
      {"declares_30000x30000.png", ImageStatus::kTooLarge, ImageFileKind::kNone, 0, 0, 0},
  };
  const Image quarters = test::Quadrants(96, 64);
  for (const FileCase& c : cases) {
    Image image;
    ImageSourceInfo info;
    EXPECT_EQ(LoadImageFile(kPictures + c.file, image, &info, DecodeWithImagingComponent), c.status)
        << c.file;
    EXPECT_EQ(info.kind, c.kind) << c.file;
    EXPECT_EQ(image.width, c.width) << c.file;
    EXPECT_EQ(image.height, c.height) << c.file;
    // PNG, GIF and TIFF are lossless: every pixel as drawn, turned as the file says.
    if (c.orientation != 0) {
      Image expected = quarters;
      ApplyOrientation(c.orientation, expected);
      EXPECT_TRUE(image.pixels == expected.pixels) << c.file;
    }
  }
  // The program's own icon: the first of its pictures, 16 x 16.
  Image icon;
  ImageSourceInfo info;
  EXPECT_EQ(
      LoadImageFile("Z:" LUMAR_SOURCE_DIR "/resources/lumar.ico", icon, &info, DecodeWithImagingComponent),
      ImageStatus::kOk);
  EXPECT_EQ(info.kind, ImageFileKind::kOther);
  EXPECT_EQ(icon.width, 16u);
  EXPECT_EQ(icon.height, 16u);
}

TEST(ImagingComponent, BadInputsFallBack) {
  const std::string empty = test::TempFile("lumar_empty.png");
  ASSERT_TRUE(test::WriteBytes(empty, {}));
  const std::string words = test::TempFile("lumar_words.png");
  ASSERT_TRUE(test::WriteBytes(words, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}));
  // A path of 260 characters to a file that exists: created through the wide calls' long-path prefix.
  std::string folder = test::TempFile("lumar_long_path_");
  folder.append(250 - folder.size(), 'd');
  const std::string longPath = folder + "\\quarters.png";
  ASSERT_GT(longPath.size(), 259u);
  const std::wstring wideFolder = L"\\\\?\\" + std::wstring(folder.begin(), folder.end());
  CreateDirectoryW(wideFolder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(std::wstring(kPictures.begin(), kPictures.end()).append(L"quarters.png").c_str(),
                        (wideFolder + L"\\quarters.png").c_str(), FALSE));
  const struct {
    std::string path;
    bool (*expected)(ImageStatus);
  } cases[] = {
      {kPictures + "quarters_truncated.png", [](ImageStatus s) { return s != ImageStatus::kOk; }},
      {kPictures.substr(0, kPictures.size() - 1),
       [](ImageStatus s) { return s == ImageStatus::kFileUnreadable; }},
      {empty, [](ImageStatus s) { return s == ImageStatus::kTruncated; }},
      {words, [](ImageStatus s) { return s == ImageStatus::kUnknownFormat; }},
      {longPath, [](ImageStatus s) { return s == ImageStatus::kFileUnreadable; }},
  };
  for (const auto& c : cases) {
    Image image;
    const ImageStatus status = LoadImageFile(c.path, image, nullptr, DecodeWithImagingComponent);
    EXPECT_TRUE(c.expected(status)) << c.path << ": " << ImageStatusName(status);
    EXPECT_TRUE(image.pixels.empty() && image.width == 0) << c.path;
  }
  DeleteFileW((wideFolder + L"\\quarters.png").c_str());
  RemoveDirectoryW(wideFolder.c_str());
  DeleteFileA(empty.c_str());
  DeleteFileA(words.c_str());
}

// The dialog's thread has been in an apartment since the file browser ran; decoding there works and
// leaves it in that apartment.
TEST(ImagingComponent, WorksInsideAnApartmentAndLeavesIt) {
  HMODULE ole = LoadLibraryA("ole32.dll");
  ASSERT_NE(ole, nullptr);
  const auto initialize = reinterpret_cast<HRESULT(WINAPI*)(void*, DWORD)>(
      reinterpret_cast<void*>(GetProcAddress(ole, "CoInitializeEx")));
  const auto uninitialize =
      reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(ole, "CoUninitialize")));
  ASSERT_TRUE(initialize && uninitialize);
  ASSERT_TRUE(SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED)));
  Image image;
  EXPECT_EQ(LoadImageFile(kPictures + "quarters.gif", image, nullptr, DecodeWithImagingComponent),
            ImageStatus::kOk);
  EXPECT_EQ(initialize(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);  // still inside
  uninitialize();
  uninitialize();
  // In the multithreaded apartment the decoder works as well.
  ASSERT_TRUE(SUCCEEDED(initialize(nullptr, COINIT_MULTITHREADED)));
  EXPECT_EQ(LoadImageFile(kPictures + "quarters.png", image, nullptr, DecodeWithImagingComponent),
            ImageStatus::kOk);
  uninitialize();
  FreeLibrary(ole);
}

}  // namespace
}  // namespace lumar
