#include "upload/UploadBody.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "upload/DiagnosticPost.h"

namespace {

std::string Text(const std::vector<unsigned char>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::vector<unsigned char> Bytes(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

const std::string kDelimiter = "-----------------------------7cf2e411b8c";

std::string Field(const std::string& name, const std::string& value)
{
    return kDelimiter + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

} // namespace

TEST(UploadBody, HeaderLineIsTheServersWithLowerCaseTAndNoLineEnd)
{
    EXPECT_EQ(kUploadHeaderLine, "Content-type: multipart/form-data; boundary=---------------------------7cf2e411b8c");
}

TEST(UploadBody, SmallValuesGiveTheWholeBodyByteForByte)
{
    std::vector<unsigned char> body = BuildUploadBody("a", "b", "c", "OTHERS", Bytes("xyz"));
    std::string expected = kDelimiter +
                           "\r\nContent-Disposition: form-data; name=\"submitter\"\r\n\r\na\r\n" + kDelimiter +
                           "\r\nContent-Disposition: form-data; name=\"password\"\r\n\r\nb\r\n" + kDelimiter +
                           "\r\nContent-Disposition: form-data; name=\"tone\"\r\n\r\nc\r\n" + kDelimiter +
                           "\r\nContent-Disposition: form-data; name=\"category\"\r\n\r\nOTHERS\r\n" + kDelimiter +
                           "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"C:\\dummy.zvr\"\r\n"
                           "Content-Type: application/octet-stream\r\n\r\n"
                           "xyz" +
                           kDelimiter + "--\r\n" + std::string(1, '\0');
    EXPECT_EQ(body.size(), 588u);
    EXPECT_EQ(Text(body), expected);
}

TEST(UploadBody, EmptyValuesLeaveOnlyTheFixedBytes)
{
    EXPECT_EQ(BuildUploadBody("", "", "", "", {}).size(), 576u);
}

TEST(UploadBody, EmptyPasswordStillSendsItsPartWithAnEmptyLine)
{
    std::string body = Text(BuildUploadBody("nick", "", "tone", "ENGLISH", Bytes("d")));
    EXPECT_NE(body.find("name=\"password\"\r\n\r\n\r\n" + kDelimiter), std::string::npos);
}

TEST(UploadBody, DataIsCopiedWholeAndFollowedAtOnceByTheClosingLine)
{
    std::vector<unsigned char> data = {'A', 0, 0xFF, 0, '\r'};
    std::vector<unsigned char> body = BuildUploadBody("a", "b", "c", "CHINESE", data);
    std::string expectedTail = std::string("A\0\xFF\0\r", 5) + kDelimiter + "--\r\n" + std::string(1, '\0');
    std::string text = Text(body);
    ASSERT_GE(text.size(), expectedTail.size());
    EXPECT_EQ(text.substr(text.size() - expectedTail.size()), expectedTail);
    EXPECT_EQ(body.size(), 576u + 1 + 1 + 1 + 7 + 5);
}

TEST(UploadBody, LargestValuesTheDialogsAllowFit)
{
    std::vector<unsigned char> body = BuildUploadBody(std::string(32, 'n'), std::string(8, 'p'), std::string(32, 't'),
                                                      "CLASSICAL", std::vector<unsigned char>(2048, 0x5A));
    EXPECT_EQ(body.size(), 2705u);
}

TEST(UploadBody, ValuesBeyondTheDialogLimitsMakeTheBodyGrowWithoutLoss)
{
    std::string submitter(5000, 's');
    std::vector<unsigned char> data(6000, 0x01);
    std::string body = Text(BuildUploadBody(submitter, std::string(100, 'p'), "t", "OTHERS", data));
    EXPECT_EQ(body.size(), 576u + 5000 + 100 + 1 + 6 + 6000);
    EXPECT_NE(body.find(Field("submitter", submitter)), std::string::npos);
    EXPECT_EQ(body.substr(body.size() - 45), kDelimiter + "--\r\n" + std::string(1, '\0'));
}

TEST(UploadBody, CategoryWordsFollowTheListPositions)
{
    struct Case {
        int nPosition;
        const char* pWord;
    };
    for (Case c : {Case{0, "ENGLISH"}, Case{1, "CHINESE"}, Case{2, "CLASSICAL"}, Case{3, "OTHERS"},
                   Case{4, "OTHERS"}, Case{-1, "OTHERS"}, Case{1000, "OTHERS"}})
        EXPECT_EQ(UploadCategoryWord(c.nPosition), c.pWord) << "position " << c.nPosition;
}

TEST(DiagnosticPostBody, HasFourPartsAndTheClosingLineButNoZeroByte)
{
    std::string expected = Field("submitter", std::string(kDiagnosticPostSubmitter)) +
                           Field("password", std::string(kDiagnosticPostPassword)) +
                           Field("tone", "I have done it !") + kDelimiter +
                           "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"C:\\autoexec.zvr\"\r\n"
                           "Content-Type: text/plain\r\n\r\nABC is this\r\n" +
                           kDelimiter + "--\r\n";
    EXPECT_EQ(Text(BuildDiagnosticPostBody()), expected);
    EXPECT_EQ(kDiagnosticPostSubmitter.size(), 5u);
    EXPECT_EQ(kDiagnosticPostPassword.size(), 5u);
}
