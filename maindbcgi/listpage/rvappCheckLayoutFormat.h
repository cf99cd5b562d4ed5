// Value checks of layout item display formats. Each requires a value
// (-210001) and reports under the item key given.
#ifndef RVAPPCHECKLAYOUTFORMAT_H
#define RVAPPCHECKLAYOUTFORMAT_H

#include "nstring.h"
#include "rvresult.h"

// Exactly six characters of "0123456789ABCDEF": -210006 otherwise.
RvResult rvappCheckColorCode(const NString& value, const char* key);
// Exactly one of 'l', 'c', 'r': -210006 otherwise.
RvResult rvappCheckAlign(const NString& value, const char* key);
// Exactly one of 't', 'm', 'b': -210006 otherwise.
RvResult rvappCheckValign(const NString& value, const char* key);
// An integer 1 to 5: -210008, -210002, -210003.
RvResult rvappCheckFontSize(const NString& value, const char* key);
// Exactly one of '0' to '3': -210006 otherwise.
RvResult rvappCheckFontStyle(const NString& value, const char* key);

#endif
