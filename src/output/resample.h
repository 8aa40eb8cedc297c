#pragma once
// Separable filtered resize of 24-bit colour pixels. Used to filter a
// supersampled render down to the box shot's output size (and to enlarge).

#include "pictures/Errors.h"
#include "pictures/Rasters.h"
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

using TFilterProc = float (*)(float x);

struct TFilterEntry {
    const char* Name;
    TFilterProc Filter;
    float Width; // suggested support radius
};

// The seven kernels in their fixed order: Box, Triangle, Hermite, Bell,
// B-Spline, Lanczos3, Mitchell.
extern const TFilterEntry ResizeFilterTable[7];

float boxFilter(float x);
float triangleFilter(float x);
float hermiteFilter(float x);
float bellFilter(float x);
float splineFilter(float x);
float lanczos3Filter(float x);
float mitchellFilter(float x);

// A view of 24-bit pixels: three bytes per pixel in any fixed channel order
// (the three channels are filtered independently), rows `Stride` bytes apart.
using TRgb24View = TRgb24Rows<std::uint8_t>;

class EResampleError : public EInternalError {
public:
    using EInternalError::EInternalError;
};

// Receives the horizontal pass's progress, 0..100, once per source row.
using TResampleProgress = std::function<void(int position)>;

// Fills the whole destination from the source with the given kernel and
// support radius. Throws EResampleError("Source bitmap too small") for a
// source without pixels, before the destination is touched. The progress is
// reported on the calling thread, once per source row in order.
//
// Every channel value is the sum of its contributors in list order, each
// addition rounded to single precision, on every path below: the vector
// paths give the same bits as the plain one. A destination of width or
// height 1 takes the plain size ratio as its scale (the one pixel averages
// the source around its first pixel); sources narrower than the support
// repeat their border pixels.
void FilteredResize(const TRgb24View& src, const TRgb24View& dst, TFilterProc filter, float support,
                    const TResampleProgress& progress = {});

// The instruction sets the resize can use, chosen once at start-up from
// what the processor offers.
enum class TResampleIsa { Generic, Avx2, Avx512 };
bool resampleIsaSupported(TResampleIsa isa);
TResampleIsa resampleBestIsa();
const char* resampleIsaName(TResampleIsa isa);

struct TResampleOptions {
    TResampleIsa Isa = resampleBestIsa(); // an unsupported one falls back to Generic
    int Threads = 0;                      // 0: one per processor, fewer for small pictures
};
void FilteredResize(const TRgb24View& src, const TRgb24View& dst, TFilterProc filter, float support,
                    const TResampleProgress& progress, const TResampleOptions& options);

// The same resize fed with the source a band of rows at a time, top row
// first, so the whole source need never be held: each band goes through the
// horizontal pass as it comes (progress as above, for its rows), and finish
// runs the vertical pass once every row is in. The destination is exactly
// FilteredResize's whatever the bands. The constructor throws "Source
// bitmap too small" as FilteredResize does; rows beyond the source's height,
// or finish before the last row, throw EResampleError.
class TResizeStream {
public:
    TResizeStream(int srcWidth, int srcHeight, const TRgb24View& dst, TFilterProc filter, float support,
                  const TResampleProgress& progress = {}, const TResampleOptions& options = {});
    ~TResizeStream();
    TResizeStream(const TResizeStream&) = delete;
    TResizeStream& operator=(const TResizeStream&) = delete;

    // `count` rows of srcWidth three-byte pixels, `stride` bytes apart.
    void addRows(const std::uint8_t* rows, int count, std::ptrdiff_t stride);
    int rowsAdded() const;
    void finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Contributor lists of one direction, exposed for tests.
struct TContributor {
    int Pixel;
    float Weight;
};
std::vector<std::vector<TContributor>> buildContributors(float scale, int srcLength, int dstLength, TFilterProc filter,
                                                         float support);

} // namespace velmora
