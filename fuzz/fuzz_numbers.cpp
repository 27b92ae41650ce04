// Feeds arbitrary UTF-8 to both parses. Neither may crash or throw anything but
// NumberError, and every finite value read must survive the shortest form.
#include "numbers.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {
void checkRoundTrip(double v)
{
    if (!std::isfinite(v))
        std::abort();
    const QString text = common::shortestText(v);
    if (common::shortestText(common::leadingNumber(text)) != text)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        checkRoundTrip(common::leadingNumber(text));
    } catch (const common::NumberError &) {
    }
    try {
        checkRoundTrip(common::strictNumber(text));
    } catch (const common::NumberError &) {
    }
    return 0;
}
