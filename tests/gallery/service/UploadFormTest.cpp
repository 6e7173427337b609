#include <gtest/gtest.h>

#include "gallery/service/UploadForm.h"
#include "tests/gallery/GalleryTestData.h"

namespace {

const std::string kDash = "-----------------------------7cf2e411b8c";

std::string Field(const std::string& name, const std::string& value)
{
    return kDash + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

std::string File(const std::string& data, const std::string& disposition = "name=\"file\"; filename=\"C:\\dummy.zvr\"")
{
    return kDash + "\r\nContent-Disposition: form-data; " + disposition +
           "\r\nContent-Type: application/octet-stream\r\n\r\n" + data;
}

const std::string kClosing = kDash + "--\r\n" + std::string(1, '\0');

std::string Fields()
{
    return Field("submitter", "nick") + Field("password", "pw") + Field("tone", "Ode") + Field("category", "OTHERS");
}

bool Parse(const std::string& body, CUploadForm& form, std::string& error,
           const std::string& contentType = kUploadContentType)
{
    std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(body.data()), body.size());
    return ParseUploadForm(contentType, bytes, form, error);
}

TEST(UploadForm, TheProgramsBodyGivesItsFiveFieldsWithTheDataWhole)
{
    // Data that ends without CR LF and holds a zero byte, a CR LF and a line that
    // looks like a boundary: all of it is file data.
    std::string data = std::string("AB\0C\r\n", 6) + kDash + "\r\nXY";
    std::vector<std::uint8_t> bytes(data.begin(), data.end());
    CUploadForm form;
    std::string error;
    ASSERT_TRUE(Parse(UploadBodyOf("nick", "secret", "Ode to Joy", "CLASSICAL", bytes), form, error)) << error;
    EXPECT_EQ(form.m_strSubmitter, "nick");
    EXPECT_EQ(form.m_strPassword, "secret");
    EXPECT_EQ(form.m_strTone, "Ode to Joy");
    EXPECT_EQ(form.m_strCategory, "CLASSICAL");
    EXPECT_EQ(form.m_data, bytes);
}

TEST(UploadForm, AnEmptyPasswordIsAnEmptyValue)
{
    CUploadForm form;
    std::string error;
    ASSERT_TRUE(Parse(UploadBodyOf("nick", "", "Ode", "OTHERS", {1, 2, 3}), form, error)) << error;
    EXPECT_EQ(form.m_strPassword, "");
    EXPECT_EQ(form.m_data, (std::vector<std::uint8_t>{1, 2, 3}));
}

struct CGoodCase {
    const char* m_szName;
    friend void PrintTo(const CGoodCase& c, std::ostream* os) { *os << c.m_szName; }
    std::string m_strBody;
    std::string m_strContentType;
};

class UploadFormAccepts : public testing::TestWithParam<CGoodCase> {};

TEST_P(UploadFormAccepts, TheBody)
{
    CUploadForm form;
    std::string error;
    ASSERT_TRUE(Parse(GetParam().m_strBody, form, error, GetParam().m_strContentType)) << error;
    EXPECT_EQ(form.m_strTone, "Ode");
    EXPECT_EQ(std::string(form.m_data.begin(), form.m_data.end()), "DATA");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UploadFormAccepts,
    testing::Values(
        CGoodCase{"without_the_zero_byte", Fields() + File("DATA") + kDash + "--\r\n", kUploadContentType},
        CGoodCase{"without_the_final_line_break", Fields() + File("DATA") + kDash + "--", kUploadContentType},
        CGoodCase{"with_the_fields_in_another_order",
                  Field("category", "OTHERS") + Field("tone", "Ode") + Field("password", "") +
                      Field("submitter", "n") + File("DATA") + kClosing,
                  kUploadContentType},
        CGoodCase{"with_a_quoted_boundary_and_upper_case_type", Fields() + File("DATA") + kClosing,
                  "Multipart/Form-Data; boundary=\"---------------------------7cf2e411b8c\""}),
    [](const testing::TestParamInfo<CGoodCase>& info) { return std::string(info.param.m_szName); });

struct CBadCase {
    const char* m_szName;
    friend void PrintTo(const CBadCase& c, std::ostream* os) { *os << c.m_szName; }
    std::string m_strBody;
    std::string m_strContentType;
    std::string m_strError; // a part of the message
};

class UploadFormRefuses : public testing::TestWithParam<CBadCase> {};

TEST_P(UploadFormRefuses, TheBody)
{
    CUploadForm form;
    std::string error;
    EXPECT_FALSE(Parse(GetParam().m_strBody, form, error, GetParam().m_strContentType));
    EXPECT_NE(error.find(GetParam().m_strError), std::string::npos) << error;
}

const std::string kGood = Fields() + File("DATA") + kClosing;

INSTANTIATE_TEST_SUITE_P(
    Cases, UploadFormRefuses,
    testing::Values(
        CBadCase{"a_body_that_is_not_a_multipart_form", kGood, "application/x-www-form-urlencoded",
                 "not a multipart form"},
        CBadCase{"a_content_type_without_boundary", kGood, "multipart/form-data", "no usable boundary"},
        CBadCase{"a_boundary_other_than_the_body_uses", kGood, "multipart/form-data; boundary=abc",
                 "does not end with the closing boundary line"},
        CBadCase{"an_empty_body", "", kUploadContentType, "does not end with the closing boundary line"},
        CBadCase{"a_body_cut_short", kGood.substr(0, kGood.size() - 20), kUploadContentType,
                 "does not end with the closing boundary line"},
        CBadCase{"garbage_before_the_first_boundary", "x" + kGood, kUploadContentType,
                 "does not start with the boundary line"},
        CBadCase{"a_missing_password", Field("submitter", "n") + Field("tone", "t") + Field("category", "OTHERS") +
                                           File("DATA") + kClosing,
                 kUploadContentType, "has no field \"password\""},
        CBadCase{"a_missing_file", Fields() + kClosing, kUploadContentType, "has no field \"file\""},
        CBadCase{"a_field_given_twice", Field("tone", "a") + kGood, kUploadContentType,
                 "the field \"tone\" twice"},
        CBadCase{"an_unknown_field", Field("email", "a@b") + kGood, kUploadContentType,
                 "\"email\" the gallery does not know"},
        CBadCase{"a_value_holding_a_line_break", Field("tone", "a\r\nb") + kGood, kUploadContentType,
                 "not followed by a boundary line"},
        CBadCase{"a_file_without_file_name", Fields() + File("DATA", "name=\"file\"") + kClosing,
                 kUploadContentType, "has no file name"},
        CBadCase{"a_text_field_sent_as_a_file",
                 Fields() + File("DATA", "name=\"tone\"; filename=\"x\"") + kClosing, kUploadContentType,
                 "sent as a file"},
        CBadCase{"a_part_without_content_disposition",
                 kDash + "\r\nContent-Type: text/plain\r\n\r\nx\r\n" + kGood, kUploadContentType,
                 "no Content-Disposition"},
        CBadCase{"a_part_that_is_not_form_data",
                 kDash + "\r\nContent-Disposition: attachment; name=\"tone\"\r\n\r\nx\r\n" + kGood,
                 kUploadContentType, "not \"form-data\""},
        CBadCase{"a_part_header_that_never_ends", kDash + "\r\nContent-Disposition: form-data; name=\"tone\"" +
                                                      std::string(2000, 'x') + kClosing,
                 kUploadContentType, "no complete header"}),
    [](const testing::TestParamInfo<CBadCase>& info) { return std::string(info.param.m_szName); });

} // namespace
