#pragma once
// Shared by the libFuzzer targets: the input as text (invalid UTF-8 becomes replacement
// characters, as text pasted into a box would) and a check that aborts with a message, so the
// fuzzer keeps the input that broke a rule.
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline QString text(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline void require(bool ok, const char *rule, const QString &input)
{
    if (ok)
        return;
    fprintf(stderr, "rule broken: %s\ninput: %s\n", rule, input.toUtf8().constData());
    abort();
}

} // namespace fuzz
