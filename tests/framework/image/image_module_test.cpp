// The module's public face: frames, the placeholder, the palette search, and
// loading and saving files by extension through the data-file layer.
#include "framework/image/image.h"

#include <gtest/gtest.h>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "platform/platform.h"
#include "tests/framework/image/image_peers.h"
#include "tests/support/testsupport.h"

namespace {

// A program folder whose content files the image module reads.
class ImageModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { Start({"-userdatainapp"}); }
  void Start(const std::vector<std::string>& parameters) {
    platform_ = std::make_unique<HeadlessPlatform>(folder_.path(), parameters);
    DataFileStart();
    LogStart();
    ImageJpegStart();
    ImageGifStart();
    ImageStart();
  }
  void TearDown() override { Stop(); }
  void Stop() {
    ImageStop();
    ImageGifStop();
    ImageJpegStop();
    LogStop();
    DataFileStop();
    platform_.reset();
  }
  void WriteContent(const std::string& name, const Bytes& bytes) {
    folder_.write(name, std::string(bytes.begin(), bytes.end()));
  }

  TempFolder folder_;
  std::unique_ptr<HeadlessPlatform> platform_;
};

// --- Frames ---------------------------------------------------------------------

TEST_F(ImageModuleTest, NewFramesAppendWithCreationFieldsAndLinkBothWays) {
  OwnedImage image;
  ImageFrame* first = ImageFrameNew(image.first);
  ImageFrame* second = ImageFrameNew(image.first);
  EXPECT_EQ(image.first, first);
  EXPECT_EQ(first->next, second);
  EXPECT_EQ(second->previous, first);
  EXPECT_EQ(second->bitsPerPixel, 32);
  EXPECT_EQ(second->frameNumber, 1);
  EXPECT_EQ(second->loaded, 0);
  EXPECT_TRUE(second->name.empty());
  EXPECT_TRUE(second->pixels.empty());
}

TEST_F(ImageModuleTest, FreeReleasesEveryFrameAndEmptiesTheImage) {
  ImageFrame* image = nullptr;
  for (int i = 0; i < 3; ++i) {
    FillPhotoLike(ImageFrameNew(image), 4, 4, 24, 1);
  }
  ImageFree(image);
  EXPECT_EQ(image, nullptr);  // the sanitizer reports any frame left behind
}

TEST_F(ImageModuleTest, CopyTakesContentButKeepsNumberAndLinks) {
  OwnedImage source, destination;
  ImageFrame* from = ImageFrameNew(source.first);
  FillPhotoLike(from, 5, 3, 8, 2);
  from->name = "a.tga";
  from->text = "note";
  from->loaded = 1;
  from->placeholder = 1;
  from->extra = 7;
  from->frameNumber = 9;
  from->palette[4] = 0x123456;
  ImageFrameNew(source.first);
  ImageFrame* to = ImageFrameNew(destination.first);
  ImageCopy(to, from);
  EXPECT_EQ(to->name, "a.tga");
  EXPECT_EQ(to->text, "note");
  EXPECT_EQ(to->loaded, 1);
  EXPECT_EQ(to->placeholder, 1);
  EXPECT_EQ(to->width, 5);
  EXPECT_EQ(to->height, 3);
  EXPECT_EQ(to->bitsPerPixel, 8);
  EXPECT_EQ(to->extra, 7);
  EXPECT_EQ(to->pixels, from->pixels);
  EXPECT_EQ(to->palette, from->palette);
  EXPECT_EQ(to->frameNumber, 1);
  EXPECT_EQ(to->next, nullptr);
}

// --- Palette ----------------------------------------------------------------------

TEST_F(ImageModuleTest, NearestPaletteEntryUsesTheSumOfChannelDistances) {
  ImageFrame frame;
  frame.bitsPerPixel = 2;
  frame.palette = {};
  frame.palette[0] = 0x000000;
  frame.palette[1] = 0x0A0A0A;
  frame.palette[2] = 0x001E00;
  frame.palette[3] = 0x0B0B0B;
  EXPECT_EQ(ImagePaletteNearest(&frame, 0x0B0B0B), 3);
  EXPECT_EQ(ImagePaletteNearest(&frame, 0x001C00), 2);  // 2 away, against 28, 38 and 39
  // Alpha does not count.
  EXPECT_EQ(ImagePaletteNearest(&frame, 0xFF0A0A0A), 1);
}

TEST_F(ImageModuleTest, NearestPaletteEntryEarliestWinsTiesAndDepthLimitsTheSearch) {
  ImageFrame frame;
  frame.bitsPerPixel = 1;
  frame.palette[0] = 0x000010;
  frame.palette[1] = 0x000030;
  frame.palette[2] = 0x000020;  // beyond 2^1 entries
  EXPECT_EQ(ImagePaletteNearest(&frame, 0x000020), 0);
  frame.bitsPerPixel = 2;
  EXPECT_EQ(ImagePaletteNearest(&frame, 0x000020), 2);
  frame.bitsPerPixel = 24;
  EXPECT_EQ(ImagePaletteNearest(&frame, 0x000030), 0);
}

// --- Extensions ---------------------------------------------------------------------

TEST_F(ImageModuleTest, SupportedPictureExtensionsIgnoreCase) {
  for (const char* name :
       {"a.ani", "A.AVI", "b.Bmp", "c.cur", "d.gif", "e.ico", "f.jpg", "g.pcx", "h\\i.tga"}) {
    EXPECT_TRUE(ImageSupported(name)) << name;
  }
  for (const char* name : {"a.lbm", "b.jpeg", "c.png", "tga", "d.tga.txt", "dir.tga\\file"}) {
    EXPECT_FALSE(ImageSupported(name)) << name;
  }
}

// --- Loading ------------------------------------------------------------------------

TEST_F(ImageModuleTest, MissingFileLeavesAFrameWithoutPixels) {
  OwnedImage image;
  ImageLoad("Bin\\Missing.tga", image.first);
  ASSERT_NE(image.first, nullptr);
  EXPECT_EQ(image.first->loaded, 0);
  EXPECT_TRUE(image.first->pixels.empty());
}

TEST_F(ImageModuleTest, ExtensionsWithoutAReaderLeaveTheImageUnchanged) {
  WriteContent("Bin/Picture.lbm", Bytes(64, 1));
  WriteContent("Bin/Movie.avi", Bytes(64, 1));
  OwnedImage image;
  ImageLoad("Bin\\Picture.lbm", image.first);
  ImageLoad("Bin\\Movie.avi", image.first);
  EXPECT_EQ(image.first, nullptr);
}

TEST_F(ImageModuleTest, LoadChoosesTheReaderByTheUpperCasedExtension) {
  OwnedImage source;
  FillPhotoLike(ImageFrameNew(source.first), 9, 7, 24, 1);
  UtilitiesByteWriter tga, bmp;
  ImageTgaWrite(source.first, tga);
  ImageBmpWrite(source.first, bmp);
  WriteContent("Bin/Rooms/Hall.TgA", Bytes(tga.bytes.begin(), tga.bytes.end()));
  WriteContent("Bin/Rooms/Hall.bmp", Bytes(bmp.bytes.begin(), bmp.bytes.end()));
  for (const char* name : {"Bin\\Rooms\\Hall.TgA", "bin\\rooms\\hall.BMP"}) {
    OwnedImage image;
    ImageLoad(name, image.first);
    EXPECT_EQ(image.first->loaded, 1) << name;
    EXPECT_EQ(image.first->placeholder, 0) << name;
    EXPECT_EQ(image.first->pixels, source.first->pixels) << name;
  }
}

TEST_F(ImageModuleTest, AFrameReloadedFromATrueColourFileIsSavedWithItsOwnColours) {
  OwnedImage first, second;
  FillPhotoLike(ImageFrameNew(first.first), 9, 7, 24, 1);
  FillPhotoLike(ImageFrameNew(second.first), 9, 7, 24, 2);
  ASSERT_TRUE(ImageSave(folder_.path() + "First.gif", first.first));
  ASSERT_TRUE(ImageSave(folder_.path() + "Second.tga", second.first));
  OwnedImage frame, saved;
  ImageLoad("First.gif", frame.first);
  ImageLoad("Second.tga", frame.first);
  ASSERT_TRUE(ImageSave(folder_.path() + "Again.gif", frame.first));
  ImageLoad("Again.gif", saved.first);
  EXPECT_EQ(saved.first->pixels, second.first->pixels);
}

TEST_F(ImageModuleTest, LoadReadsFromAMemoryCopyLikeFromDisk) {
  const Bytes jpeg = JpegEncode(PhotoLikeRgb(33, 21, 4), 33, 21, JpegSettings{});
  WriteContent("Bin/Photo.jpg", jpeg);
  OwnedImage fromDisk, fromMemory;
  ImageLoad("Bin\\Photo.jpg", fromDisk.first);
  ASSERT_TRUE(DataFileCacheLoad("Bin\\Photo.jpg"));
  ImageLoad("Bin\\Photo.jpg", fromMemory.first);
  DataFileCacheFree("Bin\\Photo.jpg");
  EXPECT_EQ(fromDisk.first->width, 33);
  EXPECT_EQ(fromMemory.first->pixels, fromDisk.first->pixels);
}

TEST_F(ImageModuleTest, IconLoadTakesTheRequestedEntries) {
  OwnedImage source;
  for (int i = 0; i < 3; ++i) {
    FillPhotoLike(ImageFrameNew(source.first), 4 + i, 4, 24, static_cast<uint32_t>(i));
  }
  ASSERT_TRUE(ImageSave(folder_.path() + "Cursor.cur", source.first));
  OwnedImage all, some;
  ImageLoad("Cursor.cur", all.first);
  ImageLoad("Cursor.cur", some.first, 1, 2);
  ASSERT_NE(all.first->next, nullptr);
  ASSERT_NE(all.first->next->next, nullptr);
  EXPECT_EQ(all.first->next->next->width, 6);
  EXPECT_EQ(some.first->width, 5);
  ASSERT_NE(some.first->next, nullptr);
  EXPECT_EQ(some.first->next->frameNumber, 2);
  EXPECT_EQ(some.first->next->next, nullptr);
}

// --- Saving ---------------------------------------------------------------------------

TEST_F(ImageModuleTest, SaveChoosesTheWriterByExtensionAndAviWritesNothing) {
  OwnedImage source;
  FillPhotoLike(ImageFrameNew(source.first), 6, 5, 24, 3);
  for (const char* name : {"shot.BMP", "shot.tga", "shot.gif", "shot.ico"}) {
    EXPECT_TRUE(ImageSave(folder_.path() + name, source.first)) << name;
    EXPECT_TRUE(folder_.exists(name)) << name;
  }
  EXPECT_EQ(folder_.read("shot.BMP").substr(0, 2), "BM");
  EXPECT_EQ(folder_.read("shot.gif").substr(0, 6), "GIF89a");
  EXPECT_TRUE(ImageSave(folder_.path() + "movie.avi", source.first));
  EXPECT_FALSE(folder_.exists("movie.avi"));
  EXPECT_FALSE(ImageSave(folder_.path() + "shot.png", source.first));
  EXPECT_FALSE(ImageSave(folder_.path() + "missing/folder/shot.bmp", source.first));
}

TEST_F(ImageModuleTest, FrameWithoutItsPixelsIsNotSaved) {
  OwnedImage image;
  ImageFrame* frame = ImageFrameNew(image.first);
  frame->width = 10;
  frame->height = 10;
  EXPECT_FALSE(ImageSave(folder_.path() + "empty.bmp", frame));
  EXPECT_FALSE(folder_.exists("empty.bmp"));
}

TEST_F(ImageModuleTest, IconsLargerThan256PixelsAreRefusedWithALogLine) {
  for (const auto& [width, height] : {std::pair{257, 16}, std::pair{16, 300}}) {
    OwnedImage image;
    FillPhotoLike(ImageFrameNew(image.first), 16, 16, 24, 1);
    FillPhotoLike(ImageFrameNew(image.first), width, height, 24, 2);
    EXPECT_FALSE(ImageSave(folder_.path() + "big.ico", image.first));
    EXPECT_FALSE(folder_.exists("big.ico"));
    const std::string line = "Error: ImageSave - Unable to write icon \"" + folder_.path() +
                             "big.ico\": a frame of " + std::to_string(width) + " x " +
                             std::to_string(height) + " pixels exceeds 256 x 256.";
    const std::vector<std::string> lines = SplitLines(folder_.read("results.log"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
  }
  OwnedImage largest;
  FillPhotoLike(ImageFrameNew(largest.first), 256, 256, 32, 3, 0xFF);
  ASSERT_TRUE(ImageSave(folder_.path() + "largest.ico", largest.first));
  OwnedImage back;
  ImageLoad("largest.ico", back.first);
  EXPECT_EQ(back.first->width, 256);
  EXPECT_EQ(back.first->pixels, largest.first->pixels);
}

TEST_F(ImageModuleTest, ScreenshotSizedBmpRoundTripsThroughFiles) {
  OwnedImage source;
  FillPhotoLike(ImageFrameNew(source.first), 640, 360, 24, 5);
  ASSERT_TRUE(ImageSave(folder_.path() + "screenshot1.bmp", source.first));
  OwnedImage back;
  ImageLoad("screenshot1.bmp", back.first);
  EXPECT_EQ(back.first->bitsPerPixel, 24);
  EXPECT_EQ(back.first->pixels, source.first->pixels);
}

// --- Versions ---------------------------------------------------------------------------

TEST_F(ImageModuleTest, StartLogsTheThreeVersionLinesWithVer) {
  Stop();
  Start({"-userdatainapp", "-ver"});
  const std::vector<std::string> lines = SplitLines(folder_.read("results.log"));
  for (const char* version :
       {"    qmrImageJPG - Version Alpha.0", "    qmrImageGIF - Version Alpha.0",
        "    qmrImage - Version Alpha.0"}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), version), lines.end()) << version;
  }
}

}  // namespace
