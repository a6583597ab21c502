// Which list entry a port choice's result names, for every result a choice can give.
#include <gtest/gtest.h>

#include "ports/PortResult.h"

TEST(PortIndexOfTest, NamesAnEntryOnlyForARowInTheListOrTheAddedCode) {
    const std::vector<std::string> two = {"IP_1", "IP_2"};
    const std::vector<std::string> none;
    struct Case {
        int result;
        const std::vector<std::string>& list;
        int index;
    };
    const Case cases[] = {
        {0x1200, two, 0},   {0x1201, two, 1},      {0x1202, two, -1},  // one past the end
        {0x1200, none, -1}, {0xAAAA, two, 0},      {0xAAAA, none, -1}, {0xCCCC, two, -1},
        {0, two, -1},       {1, two, -1},          {2, two, -1},       {-1, two, -1},
        {0x11FF, two, -1},  {0x7FFFFFFF, two, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ports::PortIndexOf(c.result, c.list), c.index)
            << std::hex << "result 0x" << c.result << " with " << std::dec << c.list.size()
            << " entries";
    }
}
