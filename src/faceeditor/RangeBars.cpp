#include "faceeditor/RangeBars.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

int roundHalfEven(double v)
{
    return int(std::nearbyint(v));
}

int arrowLength(int length, int thickness)
{
    return std::max(0, std::min({thickness, 32, length / 2}));
}

constexpr int MinThumb = 17;

} // namespace

// --- both bars ------------------------------------------------------------------

TBarZone TBarModel::zoneAt(int along) const
{
    const int len = length();
    if (along < 0 || along >= len) return zNone;
    const TBarGeometry g = Geometry();
    if (along < g.Arrow) return zArrowLow;
    if (along >= len - g.Arrow) return zArrowHigh;
    if (!g.HasThumb) return zNone;
    const int t = along - g.Arrow;
    if (t < g.ThumbOffset) return zTrackLow;
    if (t >= g.ThumbOffset + g.ThumbLength) return zTrackHigh;
    return zThumb;
}

bool TBarModel::step(TBarZone zone)
{
    switch (zone) {
    case zArrowLow: return stepBy(false, false);
    case zArrowHigh: return stepBy(true, false);
    case zTrackLow:
    case zTrackHigh:
        // A page at a time while the pointer stays on that side of the thumb.
        if (zoneAt(pointer_) != zone) return false;
        return stepBy(zone == zTrackHigh, true);
    default: return false;
    }
}

void TBarModel::mouseDown(int along, std::int64_t now)
{
    pointer_ = along;
    pressed_ = zoneAt(along);
    if (pressed_ == zThumb) {
        pressAlong_ = along;
        pressThumb();
        return;
    }
    if (pressed_ == zNone) return;
    step(pressed_);
    timer_.Start(now);
}

void TBarModel::mouseMove(int along)
{
    pointer_ = along;
    if (pressed_ == zThumb) dragThumb(along - pressAlong_);
}

void TBarModel::mouseUp()
{
    pressed_ = zNone;
    timer_.stop();
}

void TBarModel::tick(std::int64_t now)
{
    timer_.tick(now, [this] { return step(pressed_); });
}

// --- scroll bar ------------------------------------------------------------------

void TCustomRangeBarModel::setBounds(int length, int thickness)
{
    thickness_ = std::max(0, thickness);
    resize(range_, std::max(0, length));
}

void TCustomRangeBarModel::setRange(int range)
{
    resize(std::max(0, range), length_);
}

void TCustomRangeBarModel::resize(int range, int length)
{
    if (range == range_ && length == length_) return;
    float position = position_;
    if (Centered && length < range) {
        // Keep the viewed centre at the same fraction of the content.
        double f = 0.5;
        if (length_ < range_ && range_ != 0) f = (length_ / 2.0 + position_) / range_;
        position = float(range * f - length / 2.0);
    }
    range_ = range;
    length_ = length;
    setPosition(position, false);
}

bool TCustomRangeBarModel::setPosition(float position, bool byUser)
{
    position = std::min(position, float(range_ - length_));
    position = std::max(position, 0.0f);
    if (position == position_) return false;
    position_ = position;
    if (OnChange) OnChange();
    if (byUser && OnUserChange) OnUserChange();
    return true;
}

TBarGeometry TCustomRangeBarModel::Geometry() const
{
    TBarGeometry g;
    g.Arrow = arrowLength(length_, thickness_);
    g.Track = length_ - 2 * g.Arrow;
    if (g.Track <= MinThumb) return g;
    g.HasThumb = true;
    if (length_ >= range_) {
        g.ThumbLength = g.Track;
        return g;
    }
    g.ThumbLength = roundHalfEven(double(g.Track) * length_ / range_);
    g.ThumbOffset = roundHalfEven(double(position_) * g.Track / range_);
    if (g.ThumbLength < MinThumb) {
        g.ThumbLength = MinThumb;
        g.ThumbOffset = roundHalfEven(double(g.Track - MinThumb) * position_ / (range_ - length_));
    }
    return g;
}

bool TCustomRangeBarModel::stepBy(bool forward, bool page)
{
    const int by = page ? length_ : Increment;
    return setPosition(position_ + (forward ? by : -by), true);
}

void TCustomRangeBarModel::dragThumb(int move)
{
    const TBarGeometry g = Geometry();
    if (!g.HasThumb || g.Track <= 0 || range_ <= length_) return;
    const int natural = roundHalfEven(double(g.Track) * length_ / range_);
    if (natural < MinThumb)
        setPosition(pressPosition_ + float(roundHalfEven(double(move) * (range_ - length_) / (g.Track - MinThumb))),
                    true);
    else
        setPosition(float(pressPosition_ + double(move) * range_ / g.Track), true);
}

void TCustomRangeBarModel::Wheel(int delta)
{
    setPosition(position_ + float(delta) * Increment / 120.0f, true);
}

// --- slider ------------------------------------------------------------------------

void TGaugeBarModel::setMin(int v)
{
    min_ = v;
    if (max_ <= min_) max_ = min_ + 1;
    setPosition(position_, false);
}

void TGaugeBarModel::setMax(int v)
{
    max_ = v <= min_ ? min_ + 1 : v;
    setPosition(position_, false);
}

void TGaugeBarModel::setPosition(int v)
{
    setPosition(v, false);
}

void TGaugeBarModel::setBounds(int length, int thickness)
{
    length_ = std::max(0, length);
    thickness_ = std::max(0, thickness);
}

bool TGaugeBarModel::setPosition(int v, bool byUser)
{
    v = std::clamp(v, min_, max_);
    if (v == position_) return false;
    position_ = v;
    if (OnChange) OnChange();
    if (byUser && OnUserChange) OnUserChange();
    return true;
}

TBarGeometry TGaugeBarModel::Geometry() const
{
    TBarGeometry g;
    g.Arrow = ShowArrows ? arrowLength(length_, thickness_) : 0;
    g.Track = length_ - 2 * g.Arrow;
    const int handle = std::min(handleSize_ ? handleSize_ : thickness_, g.Track - 1);
    if (handle <= 0) return g;
    g.HasThumb = true;
    g.ThumbLength = handle;
    g.ThumbOffset = roundHalfEven(double(g.Track - handle) * (position_ - min_) / (max_ - min_));
    return g;
}

bool TGaugeBarModel::stepBy(bool forward, bool page)
{
    const int by = page ? largeChange_ : smallChange_;
    return setPosition(position_ + (forward ? by : -by), true);
}

void TGaugeBarModel::dragThumb(int move)
{
    const TBarGeometry g = Geometry();
    const int free = g.Track - g.ThumbLength;
    if (free <= 0) return;
    setPosition(roundHalfEven(pressPosition_ + double(max_ - min_) * move / free), true);
}

void TGaugeBarModel::Wheel(int delta)
{
    setPosition(position_ + delta * smallChange_ / 120, true);
}

} // namespace velmora
