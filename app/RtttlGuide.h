#pragma once
// Where the RTTTL format guide, RTTTL.txt, is looked for.

#include <QString>
#include <QStringList>

// The places to look, in order, for a program that runs from `programDir`: the
// installed copy (<prefix>/share/doc/ZorvatTone/RTTTL.txt beside <prefix>/bin); and,
// when `programDir` is the bin folder of the build tree this program was built in,
// the source tree's copy after it. Paths are cleaned of "..".
[[nodiscard]] QStringList RtttlGuidePlaces(const QString& programDir);
