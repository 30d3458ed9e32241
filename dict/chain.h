// Walking the record chains of KOVANT.DIC.
#pragma once

#include <functional>

#include "dict/reader.h"

namespace kovant::dict {

// Calls fn for each city record from pos on while its PrefNo is prefNo and
// not above 47. Each record is passed with its position. fn returns false to
// stop early. A chain that runs past the end of the file ends there.
Result<bool> ForEachCity(DicFile& dic, int64_t pos, int prefNo,
                         const std::function<bool(const CityRecord&, int64_t)>& fn);

// The same for the town records of one city.
Result<bool> ForEachTown(DicFile& dic, int64_t pos, int cityNo,
                         const std::function<bool(const TownRecord&, int64_t)>& fn);

}  // namespace kovant::dict
