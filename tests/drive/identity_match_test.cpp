// Which configured identity lists accept which INQUIRY identities.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "drive/identity_match.h"

namespace {

struct MatchCase {
    const char* name;
    const char* list;
    bool matches;
};

class MatchIdentityTest : public testing::TestWithParam<MatchCase> {};

TEST_P(MatchIdentityTest, AcceptsOnlyAnItemThatIsAPrefixOfTheIdentity) {
    // INQUIRY bytes 8 to 39: vendor, product, revision, then four zero bytes.
    uint8_t identity[32] = {};
    std::memcpy(identity,
                "ZORVTECH"
                "CDRW-4824  FAST "
                "1.04",
                28);
    EXPECT_EQ(MatchIdentity(identity, GetParam().list), GetParam().matches);
}

// clang-format off
const MatchCase kCases[] = {
    {"VendorAlone", "ZORVTECH;", true},
    {"VendorAndProduct", "ZORVTECHCDRW-4824  FAST ;", true},
    {"WholeIdentity", "ZORVTECHCDRW-4824  FAST 1.04;", true},
    {"OtherRevision", "ZORVTECHCDRW-4824  FAST 1.05;", false},
    {"EmptyList", "", false},
    {"SingleSemicolon", ";", false},
    {"EmptyItemsThenMatch", ";;ZORVTECH;", true},
    {"FirstDiffersInOneCharacterSecondMatches", "ZORVTECX;ZORVTECH;", true},
    {"FirstMatchesSecondDiffers", "ZORVTECH;OTHERVND;", true},
    {"LastItemWithoutSemicolon", "OTHERVND;ZORVTECH", false},
    {"CaseSensitive", "zorvtech;", false},
    {"ItemLongerThanIdentity", "ZORVTECHCDRW-4824  FAST 1.04X;", false},
    {"ItemPastThe32Bytes", "ZORVTECHCDRW-4824  FAST 1.04ABCDEFGH;", false},
    {"LongItemDoesNotSpoilTheNext", "ZORVTECHCDRW-4824  FAST 1.04ABCDEFGH;ZORV;", true},
    {"NonMatchingPrefixThenMatchingTail", "XZORVTECH;", false},
};
// clang-format on

void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.name; }

std::string CaseName(const testing::TestParamInfo<MatchCase>& caseInfo) {
    return caseInfo.param.name;
}

INSTANTIATE_TEST_SUITE_P(Lists, MatchIdentityTest, testing::ValuesIn(kCases), CaseName);

// The identity is 32 bytes followed by memory that may not be read: put it at the very end
// of a readable page with an inaccessible page after it, so any read past it faults.
class GuardedIdentity {
public:
    GuardedIdentity() {
        pageSize_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* mapping = mmap(nullptr, 2 * pageSize_, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) return;
        pages_ = static_cast<uint8_t*>(mapping);
        if (mprotect(pages_ + pageSize_, pageSize_, PROT_NONE) != 0) return;
        guarded_ = true;
    }
    ~GuardedIdentity() {
        if (pages_ != nullptr) munmap(pages_, 2 * pageSize_);
    }
    bool Ready() const { return guarded_; }
    uint8_t* Identity() { return pages_ + pageSize_ - 32; }

private:
    size_t pageSize_ = 0;
    uint8_t* pages_ = nullptr;
    bool guarded_ = false;
};

TEST(MatchIdentityBounds, ItemsLongerThan32BytesNeverMatchAndReadNothingBeyond) {
    GuardedIdentity guard;
    ASSERT_TRUE(guard.Ready());
    // 32 non-zero bytes, so only the bound stops a comparison at the end of the data.
    const std::string all32 = "ZORVTECHCDRW-4824  FAST 1.04WXYZ";
    ASSERT_EQ(all32.size(), 32u);
    std::memcpy(guard.Identity(), all32.data(), 32);

    EXPECT_TRUE(MatchIdentity(guard.Identity(), (all32 + ";").c_str()));
    EXPECT_FALSE(MatchIdentity(guard.Identity(), (all32 + "X;").c_str()));
    EXPECT_FALSE(MatchIdentity(guard.Identity(), (all32 + std::string(200, 'Q') + ";").c_str()));
    EXPECT_FALSE(MatchIdentity(guard.Identity(), (all32 + "PAST").c_str()));
}

}  // namespace
