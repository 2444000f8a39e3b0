#include "common/ratio_to_db.h"

#include <cmath>

#include "common/float_check.h"

namespace multitone {

double RatioToDb(double q) {
  const double db = CheckedDivide(std::log(q) * 20.0, std::log(10.0), "decibel value");
  CheckFinite(db, "decibel value");
  return db;
}

}  // namespace multitone
