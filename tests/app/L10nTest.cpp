#include "app/text/L10n.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(L10n, UnknownKeyComesBackAsItIs)
{
    EXPECT_EQ(L10n::t(QStringLiteral("no_such_key_anywhere")), QStringLiteral("no_such_key_anywhere"));
}

}  // namespace
}  // namespace tarn
