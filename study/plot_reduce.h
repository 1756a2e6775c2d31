// Reduction of long plotted series: the points are cut into equal buckets and each
// bucket keeps only its lowest and highest point, in their order, so no peak is lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr size_t MAX_PLOT_POINTS = 20000;  // points per curve in the report

// One plotted point: x (milliseconds of the time axis, or any other key), y and a count n.
struct PlotPoint {
  int64_t x;
  double y;
  uint64_t n;
};

// Keeps the minimum and maximum of each bucket of a series fed point by point.
class MinMaxReducer {
 public:
  // Prepare for `total` points, of which at most `max_points` are kept.
  MinMaxReducer(uint64_t total, size_t max_points = MAX_PLOT_POINTS);
  // Take the next point of the series.
  void add(const PlotPoint& point);
  // Return the kept points in order (closes the last bucket).
  std::vector<PlotPoint> finish();

 private:
  void close_bucket();
  uint64_t bucket_size_;
  uint64_t in_bucket_ = 0;
  PlotPoint low_{};
  PlotPoint high_{};
  std::vector<PlotPoint> kept_;
};
