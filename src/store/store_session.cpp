#include "store/store_session.h"

namespace multitone {

ResultsStore& StoreSession::Results() {
  if (!results_) results_.emplace(ResultsStore::Open(storage_.results));
  return *results_;
}

}  // namespace multitone
