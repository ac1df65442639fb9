#include <gtest/gtest.h>

#include "publisher/system/PublisherNames.h"

namespace {

TEST(PublisherNames, BelongToTheirSectionAndStayOutOfOtherNamespaces) {
  EXPECT_EQ(PublisherMutexName(L"Fritz!Box-Traffic-MappingObject"),
            L"Nimbrel_Publisher_Fritz!Box-Traffic-MappingObject");
  EXPECT_EQ(PublisherStopEventName(L"Fritz!Box-Traffic-MappingObject"),
            L"Nimbrel_Publisher_Stop_Fritz!Box-Traffic-MappingObject");
  EXPECT_EQ(PublisherMutexName(L"Global\\x\\y"), L"Nimbrel_Publisher_Global_x_y");
  EXPECT_NE(PublisherMutexName(L"a"), PublisherMutexName(L"b"));
  EXPECT_NE(PublisherMutexName(L"a"), PublisherStopEventName(L"a"));
}

}  // namespace
