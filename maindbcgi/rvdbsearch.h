// Search filters of a list page and their conditions (plain records).
#ifndef RVDBSEARCH_H
#define RVDBSEARCH_H

#include "RvDbSearchCondition.h"
#include "RvDbSearchFilter.h"

#endif
