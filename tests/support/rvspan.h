// A time span from its parts as texts (null: the part is left unset).
#ifndef TESTS_RVSPAN_H
#define TESTS_RVSPAN_H

#include "rvvalueparts.h"

namespace rvtest {

inline TimeSpanParts span(const char* d, const char* h, const char* m, const char* s)
{
    TimeSpanParts p;
    if (d) p.days = d;
    if (h) p.hours = h;
    if (m) p.minutes = m;
    if (s) p.seconds = s;
    return p;
}

} // namespace rvtest

#endif
