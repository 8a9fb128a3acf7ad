// The local file as the upload reads it: block by block, and a read error aborts the transfer
// instead of ending it as a short success.
#include <gtest/gtest.h>

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "ftp_upload.h"

namespace varl {
namespace {

class UploadSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "upload_source_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    int OpenFile(const std::string& bytes) {
        const std::string path = folder_ + "/file.bin";
        std::ofstream(path, std::ios::binary) << bytes;
        return open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }

    // Reads through libcurl's callback in blocks of blockSize until the end or an abort.
    static std::string ReadAll(UploadSource& source, std::size_t blockSize, bool* aborted) {
        std::string all;
        std::string block(blockSize, '\0');
        *aborted = false;
        for (;;) {
            const std::size_t got = UploadSource::CurlRead(block.data(), 1, block.size(), &source);
            if (got == CURL_READFUNC_ABORT) {
                *aborted = true;
                return all;
            }
            if (got == 0) return all;
            all.append(block, 0, got);
        }
    }

    std::string folder_;
};

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

TEST_F(UploadSourceTest, HandsOutTheWholeFileAcrossTheReadAheadBlock) {
    const std::string bytes = Pattern(200 * 1024 + 7);
    UploadSource source(OpenFile(bytes));
    ASSERT_TRUE(source.ReadAhead());
    bool aborted = false;
    EXPECT_EQ(ReadAll(source, 16 * 1024 + 3, &aborted), bytes);
    EXPECT_FALSE(aborted);
}

// A second attempt, in passive mode, sends the file again from its first byte.
TEST_F(UploadSourceTest, RewindHandsOutTheWholeFileAgain) {
    const std::string bytes = Pattern(200 * 1024 + 7);
    UploadSource source(OpenFile(bytes));
    ASSERT_TRUE(source.ReadAhead());
    // Past the block read ahead.
    std::string block(100 * 1024, '\0');
    for (int read = 0; read < 2; ++read) ASSERT_GT(UploadSource::CurlRead(block.data(), 1, block.size(), &source), 0u);
    ASSERT_TRUE(source.Rewind());
    bool aborted = false;
    const std::string read = ReadAll(source, 16 * 1024 + 3, &aborted);
    EXPECT_EQ(read.size(), bytes.size());
    EXPECT_TRUE(read == bytes) << "the bytes differ";
    EXPECT_EQ(source.handed(), bytes.size());
}

TEST_F(UploadSourceTest, EmptyFileEndsAtOnce) {
    UploadSource source(OpenFile(""));
    ASSERT_TRUE(source.ReadAhead());
    bool aborted = false;
    EXPECT_EQ(ReadAll(source, 4096, &aborted), "");
    EXPECT_FALSE(aborted);
}

TEST_F(UploadSourceTest, FolderFailsBeforeAnyByteIsSent) {
    UploadSource source(open(folder_.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_FALSE(source.ReadAhead());
}

// libcurl's own callback, fread, would report the error as the end of the file: a truncated file
// stored on the unit and a true result.
TEST_F(UploadSourceTest, ReadErrorAfterTheFirstBlockAbortsTheTransfer) {
    const std::string bytes = Pattern(200 * 1024);
    const int fd = OpenFile(bytes);
    UploadSource source(fd);
    ASSERT_TRUE(source.ReadAhead());
    // From here on the descriptor names a folder, whose reads fail with EISDIR.
    const int folder = open(folder_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(dup2(folder, fd), fd);
    close(folder);

    bool aborted = false;
    const std::string read = ReadAll(source, 16 * 1024, &aborted);
    EXPECT_TRUE(aborted);
    EXPECT_EQ(read, bytes.substr(0, read.size()));
    EXPECT_LT(read.size(), bytes.size());
}

}  // namespace
}  // namespace varl
