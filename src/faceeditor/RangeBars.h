#pragma once
// The behaviour of the two bar controls, without a toolkit: the scroll bar of
// the image view (TCustomRangeBar) and the slider of the editor (TGaugeBar).
// The widgets draw them and pass presses, moves, releases, the wheel and the
// clock in; times are milliseconds from any fixed start.

#include <cstdint>
#include <functional>

namespace velmora {

// A held button steps once, again after 600 ms, then every 100 ms.
class TRepeatTimer {
public:
    static constexpr int FirstDelay = 600;
    static constexpr int Interval = 100;
    void Start(std::int64_t now)
    {
        active_ = true;
        due_ = now + FirstDelay;
    }
    void stop() { active_ = false; }
    bool active() const { return active_; }
    std::int64_t due() const { return due_; }
    // Calls step for every repetition due by now; step returns false to stop.
    template <class F> void tick(std::int64_t now, F step)
    {
        while (active_ && now >= due_) {
            due_ += Interval;
            if (!step()) active_ = false;
        }
    }

private:
    bool active_ = false;
    std::int64_t due_ = 0;
};

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TRBStyle { rbsDefault, rbsMac };
enum TRBBackgnd { bgPattern, bgSolid };

// Parts of a bar along its length.
enum TBarZone { zNone, zArrowLow, zArrowHigh, zTrackLow, zTrackHigh, zThumb };

struct TBarGeometry {
    int Arrow = 0; // length of each arrow button (0: none)
    int Track = 0; // length between the arrows
    bool HasThumb = false;
    int ThumbOffset = 0; // from the start of the track
    int ThumbLength = 0;
};

// What both bars share: the pointer and the clock. A press on an arrow or on
// the track steps at once and repeats while the button is held (on the track
// only while the pointer stays on that side of the thumb); a press on the
// thumb drags it.
class TBarModel {
public:
    virtual ~TBarModel() = default;
    TScrollBarKind Kind = sbHorizontal;

    virtual TBarGeometry Geometry() const = 0;
    TBarZone zoneAt(int along) const;

    void mouseDown(int along, std::int64_t now);
    void mouseMove(int along);
    void mouseUp();
    void tick(std::int64_t now);
    bool repeating() const { return timer_.active(); }
    std::int64_t nextDue() const { return timer_.due(); }

    std::function<void()> OnChange;
    std::function<void()> OnUserChange;

protected:
    // The bar's length along its kind.
    virtual int length() const = 0;
    // One small step (page false) or one page back or forward, as the user's
    // change; whether the position changed.
    virtual bool stepBy(bool forward, bool page) = 0;
    // Remembers the position a drag of the thumb starts from.
    virtual void pressThumb() = 0;
    // The thumb dragged by `move` from where it was pressed.
    virtual void dragThumb(int move) = 0;

private:
    bool step(TBarZone zone);

    TRepeatTimer timer_;
    TBarZone pressed_ = zNone;
    int pointer_ = 0;
    int pressAlong_ = 0;
};

class TCustomRangeBarModel : public TBarModel {
public:
    int Increment = 8;
    bool Centered = true;

    int range() const { return range_; }
    int visibleLength() const { return length_; }
    float Position() const { return position_; }
    int thickness() const { return thickness_; }

    // The bar's own size; its length is also the visible length.
    void setBounds(int length, int thickness);
    void setRange(int range);
    void setPosition(float position) { setPosition(position, false); }

    TBarGeometry Geometry() const override;
    void Wheel(int delta);

protected:
    int length() const override { return length_; }
    bool stepBy(bool forward, bool page) override;
    void pressThumb() override { pressPosition_ = position_; }
    void dragThumb(int move) override;

private:
    void resize(int range, int length);
    bool setPosition(float position, bool byUser);

    int range_ = 0;
    int length_ = 0;
    int thickness_ = 16;
    float position_ = 0;
    float pressPosition_ = 0;
};

class TGaugeBarModel : public TBarModel {
public:
    bool ShowArrows = true;
    TRBStyle Style = rbsDefault;
    TRBBackgnd Backgnd = bgPattern;

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    int SmallChange() const { return smallChange_; }
    int LargeChange() const { return largeChange_; }
    int HandleSize() const { return handleSize_; }
    void setMin(int v);
    void setMax(int v);
    void setPosition(int v);
    void setSmallChange(int v) { smallChange_ = v < 1 ? 1 : v; }
    void setLargeChange(int v) { largeChange_ = v < 1 ? 1 : v; }
    void setHandleSize(int v) { handleSize_ = v < 0 ? 0 : v; }
    void setBounds(int length, int thickness);
    int length() const override { return length_; }
    int thickness() const { return thickness_; }

    TBarGeometry Geometry() const override; // the handle is the "thumb"
    void Wheel(int delta);

protected:
    bool stepBy(bool forward, bool page) override;
    void pressThumb() override { pressPosition_ = position_; }
    void dragThumb(int move) override;

private:
    bool setPosition(int v, bool byUser);

    int min_ = 0, max_ = 100, position_ = 0;
    int smallChange_ = 1, largeChange_ = 1, handleSize_ = 0;
    int length_ = 100, thickness_ = 16;
    int pressPosition_ = 0;
};

} // namespace velmora
