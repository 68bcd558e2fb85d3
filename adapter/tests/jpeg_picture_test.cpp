// The face picture's decoding: the control's own JPEG decodes to its 22 x 22
// pixels, and data that is no JPEG, or a JPEG cut short, fails with libjpeg's reason.
#include "adapter/jpeg_picture.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

std::vector<std::uint8_t> faceJpeg() {
    std::ifstream in(FACE_JPEG, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(JpegPicture, DecodesTheFacePicture) {
    const auto jpeg = faceJpeg();
    ASSERT_FALSE(jpeg.empty());
    const adapter::Picture picture = adapter::decodeJpeg(jpeg);
    EXPECT_EQ(picture.width, 22);
    EXPECT_EQ(picture.height, 22);
    ASSERT_EQ(picture.bgr.size(), std::size_t(picture.stride()) * 22);
    // The corner is white, the middle of the face blue (BGR order).
    EXPECT_GT(picture.bgr[0], 230);
    const std::size_t mid = std::size_t(picture.stride()) * 14 + 11 * 3;
    EXPECT_GT(picture.bgr[mid], 150);    // blue
    EXPECT_LT(picture.bgr[mid + 2], 90); // red
}

TEST(JpegPicture, BadDataFailsWithTheReason) {
    const auto jpeg = faceJpeg();
    const std::vector<std::uint8_t> notJpeg(64, 0x42);
    const std::vector<std::uint8_t> headerOnly(jpeg.begin(), jpeg.begin() + 20);
    for (const auto& bad : {std::vector<std::uint8_t>{}, notJpeg, headerOnly})
        EXPECT_THROW(adapter::decodeJpeg(bad), adapter::JpegError) << bad.size() << " bytes";
}

} // namespace
