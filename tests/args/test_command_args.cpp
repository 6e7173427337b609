// The one parser of options and numbers that every program's command line goes
// through.

#include <gtest/gtest.h>

#include "args/CommandArgs.h"

namespace {

TEST(CommandArgs, TakesBothValueFormsFlagsAliasesAndPositionals)
{
    const CCommandArgs args({"--port", "80", "in.mid", "--host=::1", "-h", "-", "--port=81", "--", "--not-an-option"},
                            {"--port", "--host"}, {"--help"}, {{"-h", "--help"}});
    ASSERT_TRUE(args.Ok()) << args.Error();
    EXPECT_EQ(args.Value("--port"), "81") << "the last one given";
    EXPECT_EQ(args.Values("--port"), (std::vector<std::string>{"80", "81"}));
    EXPECT_EQ(args.Value("--host"), "::1");
    EXPECT_TRUE(args.Flag("--help"));
    EXPECT_EQ(args.Positional(), (std::vector<std::string>{"in.mid", "-", "--not-an-option"}));

    EXPECT_EQ(CCommandArgs({"--port"}, {"--port"}, {}).Error(), "option --port needs a value");
    EXPECT_EQ(CCommandArgs({"-x"}, {}, {}).Error(), "unknown option -x");
    EXPECT_EQ(CCommandArgs({"--help=yes"}, {}, {"--help"}).Error(), "unknown option --help=yes");
}

TEST(CommandArgs, WholeNumbersAreWholeAndWithinTheirRange)
{
    long value = 0;
    EXPECT_TRUE(ParseWholeNumber("65535", 0, 65535, value));
    EXPECT_EQ(value, 65535);
    EXPECT_TRUE(ParseWholeNumber("-3", -5, 5, value));
    EXPECT_EQ(value, -3);
    for (const char* bad : {"", "65536", " 1", "1 ", "+1", "1.5", "0x10", "99999999999999999999", "12a"})
        EXPECT_FALSE(ParseWholeNumber(bad, 0, 65535, value)) << bad;
    EXPECT_EQ(value, -3) << "a refused text leaves the number as it was";
}

} // namespace
