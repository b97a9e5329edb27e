#pragma once
// Filler text for the generated databases of the benchmarks.

#include <QByteArray>
#include <QRandomGenerator>

namespace benchtext {

// About `bytes` bytes of office words, CR-ended lines of about 72.
inline QByteArray words(QRandomGenerator& rng, int bytes)
{
    static const char* const kWords[] = {"report", "meeting", "budget", "the",   "and",     "schedule",
                                         "please", "attached", "thanks", "team", "quarter", "review"};
    QByteArray out;
    out.reserve(bytes + 16);
    while (out.size() < bytes) {
        out += kWords[rng.bounded(12)];
        out += out.size() % 72 < 8 ? '\r' : ' ';
    }
    return out;
}

} // namespace benchtext
