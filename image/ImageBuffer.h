#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The memory of one host image: `height` rows of `width` pixels in one owned
// block, row after row, with no padding.
// Reentrant: its adapter decides who writes and who reads it.
class ImageBuffer {
  public:
    ImageBuffer(int32_t bitsPerPixel, int32_t width, uint32_t height);

    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    // Makes the block hold exactly `size` bytes, all 0 in a new block; the
    // same size keeps the block and its contents. Throws for a size of 0 or less and when memory
    // runs out.
    void Allocate(int64_t size);

    // The first byte of row `line`, or null (logged) for a row outside the
    // image or an unallocated buffer.
    uint8_t* GetLine(int32_t line);
    // The same with the reason for a null row in `problem` instead of the log,
    // for a caller that holds a lock and logs once it has let go.
    uint8_t* LineOrProblem(int32_t line, std::string* problem);
    // The same without a log line, for a caller that must not reach the host:
    // null also for a row the block does not hold whole.
    const uint8_t* FindLine(int32_t line) const;

    int32_t GetByteSize() const { return byteSize_; }
    int32_t GetWidth() const { return width_; }
    uint32_t GetHeight() const { return height_; }
    int32_t GetBitsPerPixel() const { return bitsPerPixel_; }
    int32_t GetBytesPerPixel() const { return bytesPerPixel_; }
    // Bytes of one row.
    size_t GetRowBytes() const {
        return static_cast<size_t>(width_) * static_cast<size_t>(bytesPerPixel_);
    }
    uint8_t* GetData() { return data_.get(); }

  private:
    int32_t byteSize_ = 0;
    int32_t width_;
    uint32_t height_;
    int32_t bitsPerPixel_;
    int32_t bytesPerPixel_;
    std::unique_ptr<uint8_t[]> data_;
};
