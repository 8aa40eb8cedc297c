#pragma once
// Toolkit-free value models of the main window's controls. The box scene model
// owns one of these per control; the Qt window mirrors them both ways.
//
// Setting a value through the setter runs the control's handler exactly when the
// real control would fire its event: a track bar when its stored (clamped)
// position changes, a check box whenever its checked state changes, an edit
// whenever its text changes. Observers are told about every visible change
// (value, enabled state, caption) so a view can follow the model.

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

class TControlModel {
public:
    explicit TControlModel(std::string name) : Name(std::move(name)) {}
    virtual ~TControlModel() = default;
    TControlModel(const TControlModel&) = delete;
    TControlModel& operator=(const TControlModel&) = delete;

    const std::string Name;

    bool enabled() const { return Enabled; }
    void setEnabled(bool e)
    {
        if (Enabled == e) return;
        Enabled = e;
        notify();
    }
    bool visible() const { return Visible; }
    void setVisible(bool v)
    {
        if (Visible == v) return;
        Visible = v;
        notify();
    }

    // Views subscribe here; the returned index can be used to unsubscribe.
    size_t addObserver(std::function<void()> f)
    {
        observers.push_back(std::move(f));
        return observers.size() - 1;
    }
    void removeObserver(size_t index)
    {
        if (index < observers.size()) observers[index] = nullptr;
    }

protected:
    void notify()
    {
        // Copy: an observer may subscribe another observer while we iterate.
        auto obs = observers;
        for (auto& f : obs)
            if (f) f();
    }

private:
    bool Enabled = true;
    bool Visible = true;
    std::vector<std::function<void()>> observers;
};

// A horizontal track bar.
class TTrackBarModel : public TControlModel {
public:
    TTrackBarModel(std::string name, int min, int max, int position)
        : TControlModel(std::move(name)),
          Min(min),
          Max(max),
          Position(std::clamp(position, min, max))
    {}

    int min() const { return Min; }
    int max() const { return Max; }
    int position() const { return Position; }

    // Runs OnChange only when the stored, clamped position changes.
    void setPosition(int p)
    {
        p = std::clamp(p, Min, Max);
        if (p == Position) return;
        Position = p;
        notify();
        if (OnChange) OnChange(Position);
    }
    void setRange(int min, int max)
    {
        Min = min;
        Max = std::max(min, max);
        setPosition(Position);
        notify();
    }

    std::function<void(int)> OnChange;
    std::string Caption;

private:
    int Min, Max, Position;
};

// A check box.
class TCheckBoxModel : public TControlModel {
public:
    TCheckBoxModel(std::string name, std::string caption, bool checked)
        : TControlModel(std::move(name)),
          Caption(std::move(caption)),
          Checked(checked)
    {}

    bool checked() const { return Checked; }
    // Runs OnClick whenever the state changes.
    void setChecked(bool c)
    {
        if (c == Checked) return;
        Checked = c;
        notify();
        if (OnClick) OnClick();
    }

    std::function<void()> OnClick;
    const std::string Caption;

private:
    bool Checked;
};

// A static text label.
class TLabelModel : public TControlModel {
public:
    TLabelModel(std::string name, std::string caption) : TControlModel(std::move(name)), Caption(std::move(caption)) {}

    const std::string& caption() const { return Caption; }
    void setCaption(std::string c)
    {
        if (c == Caption) return;
        Caption = std::move(c);
        notify();
    }

private:
    std::string Caption;
};

// A one-line edit.
class TEditModel : public TControlModel {
public:
    TEditModel(std::string name, std::string text) : TControlModel(std::move(name)), Text(std::move(text)) {}

    const std::string& text() const { return Text; }
    void setText(std::string t)
    {
        if (t == Text) return;
        Text = std::move(t);
        notify();
        if (OnChange) OnChange();
    }

    std::function<void()> OnChange;

private:
    std::string Text;
};

// A push button: only a caption and a click handler.
class TButtonModel : public TControlModel {
public:
    TButtonModel(std::string name, std::string caption) : TControlModel(std::move(name)), Caption(std::move(caption)) {}
    void click()
    {
        if (enabled() && OnClick) OnClick();
    }
    std::function<void()> OnClick;
    const std::string Caption;
};

// A panel: besides being shown or hidden it can be raised above its siblings
// (the processing overlay is raised over the viewer while a shot is rendered).
class TPanelModel : public TControlModel {
public:
    TPanelModel(std::string name, bool visible, bool raised = false) : TControlModel(std::move(name))
    {
        setVisible(visible);
        Raised = raised;
    }
    bool raised() const { return Raised; }
    void setRaised(bool r)
    {
        if (Raised == r) return;
        Raised = r;
        notify();
    }

private:
    bool Raised = false;
};

} // namespace velmora
