#include <gtest/gtest.h>

#include "gallery/service/PasswordHasher.h"

namespace {

TEST(PasswordHasher, KeepsOnlyASaltedHashThatVerifiesTheRightPasswordOnly)
{
    CPasswordHasher hasher(PasswordCost::Minimum);
    std::string first;
    std::string second;
    ASSERT_TRUE(hasher.Hash("secret", first));
    ASSERT_TRUE(hasher.Hash("secret", second));
    EXPECT_EQ(first.rfind("$argon2id$", 0), 0u) << first;
    EXPECT_EQ(first.find("secret"), std::string::npos);
    EXPECT_NE(first, second) << "each hash has its own salt";
    EXPECT_TRUE(hasher.Verify(first, "secret"));
    EXPECT_TRUE(hasher.Verify(second, "secret"));
    EXPECT_FALSE(hasher.Verify(first, "Secret"));
    EXPECT_FALSE(hasher.Verify(first, ""));
    EXPECT_FALSE(hasher.Verify("not a hash", "secret"));
}

TEST(PasswordHasher, TellsAnEmptyPasswordFromAnyOther)
{
    CPasswordHasher hasher(PasswordCost::Minimum);
    std::string hash;
    ASSERT_TRUE(hasher.Hash("", hash));
    EXPECT_TRUE(hasher.Verify(hash, ""));
    EXPECT_FALSE(hasher.Verify(hash, " "));
}

TEST(PasswordHasher, VerifiesAHashAtTheCostItWasMadeWith)
{
    std::string hash;
    ASSERT_TRUE(CPasswordHasher(PasswordCost::Interactive).Hash("pw", hash));
    EXPECT_NE(hash.find("m=65536"), std::string::npos) << hash;
    EXPECT_TRUE(CPasswordHasher(PasswordCost::Minimum).Verify(hash, "pw"));
}

} // namespace
