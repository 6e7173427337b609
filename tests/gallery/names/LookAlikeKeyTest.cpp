// Nicknames that look alike share one key, whatever their letter case.

#include <gtest/gtest.h>

#include "gallery/names/NameText.h"

namespace {

struct CKeyCase {
    const char* m_szName;
    friend void PrintTo(const CKeyCase& c, std::ostream* os) { *os << c.m_szName; }
    std::string m_strRegistered;
    std::string m_strOther;
    bool m_bSameKey;
};

class LookAlikeKeys : public testing::TestWithParam<CKeyCase> {};

TEST_P(LookAlikeKeys, AreSharedByNicknamesThatLookAlike)
{
    std::string registered;
    std::string other;
    std::string error;
    ASSERT_TRUE(LookAlikeKeyOf(GetParam().m_strRegistered, registered, error)) << error;
    ASSERT_TRUE(LookAlikeKeyOf(GetParam().m_strOther, other, error)) << error;
    EXPECT_EQ(registered == other, GetParam().m_bSameKey) << registered << " / " << other;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LookAlikeKeys,
    testing::Values(CKeyCase{"a_capital_i_for_a_small_l", "paypal", "paypaI", true},
                    CKeyCase{"a_capital_i_for_a_small_i", "useri", "userI", true},
                    CKeyCase{"a_small_l_for_a_capital_i", "USERI", "userl", true},
                    CKeyCase{"capital_os_for_zeros", "agent007", "agentOO7", true},
                    CKeyCase{"cherokee_capitals_for_latin_ones", "HAM", "\u13BB\u13AA\u13B7", true},
                    CKeyCase{"cherokee_small_letters_for_latin_ones", "ham", "\uAB8B\uAB7A\uAB87", true},
                    CKeyCase{"cherokee_letters_for_a_latin_word", "west", "\u13D4\u13AC\u13DA\u13A2", true},
                    CKeyCase{"r_and_n_for_a_capital_m", "VICTIM", "victirn", true},
                    CKeyCase{"a_greek_small_nu_for_a_v", "victim", "νictim", true},
                    CKeyCase{"a_cherokee_capital_v_for_an_i", "victim", "vᎥctim", true},
                    CKeyCase{"a_greek_small_upsilon_for_a_u", "user", "υser", true},
                    CKeyCase{"a_greek_small_eta_for_an_n", "none", "ηone", true},
                    CKeyCase{"a_cyrillic_small_pe_for_an_n", "none", "пone", true},
                    CKeyCase{"greek_small_omegas_for_ws", "wow", "ωoω", true},
                    CKeyCase{"a_cyrillic_small_ghe_for_an_r", "rose", "гose", true},
                    CKeyCase{"capitals_of_a_look_alike", "VICTIM", "ΝICTIM", false},
                    CKeyCase{"letters_that_differ", "paypal", "paypat", false},
                    CKeyCase{"a_letter_more", "agent007", "agent0007", false}),
    [](const testing::TestParamInfo<CKeyCase>& info) { return std::string(info.param.m_szName); });

} // namespace
