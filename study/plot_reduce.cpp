// Plot reduction: buckets of equal size, each kept as its minimum and maximum.
#include "study/plot_reduce.h"

#include <algorithm>

MinMaxReducer::MinMaxReducer(uint64_t total, size_t max_points) {
  const uint64_t buckets = std::max<uint64_t>(1, max_points / 2);
  bucket_size_ = std::max<uint64_t>(1, (total + buckets - 1) / buckets);
  kept_.reserve(static_cast<size_t>(std::min<uint64_t>(total, 2 * buckets)));
}

void MinMaxReducer::add(const PlotPoint& point) {
  if (in_bucket_ == 0) {
    low_ = high_ = point;
  } else {
    if (point.y < low_.y) low_ = point;
    if (point.y > high_.y) high_ = point;
  }
  if (++in_bucket_ == bucket_size_) close_bucket();
}

void MinMaxReducer::close_bucket() {
  if (in_bucket_ == 0) return;
  if (low_.x == high_.x) {
    kept_.push_back(low_);
  } else if (low_.x < high_.x) {
    kept_.push_back(low_);
    kept_.push_back(high_);
  } else {
    kept_.push_back(high_);
    kept_.push_back(low_);
  }
  in_bucket_ = 0;
}

std::vector<PlotPoint> MinMaxReducer::finish() {
  close_bucket();
  return std::move(kept_);
}
