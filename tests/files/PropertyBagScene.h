#pragma once
// A scene stand-in for stream tests: every object is a bag of property values
// keyed by path, starting from the tables' initial values. It checks the
// stream rules without any behaviour of the real scene classes.

#include "files/SceneStream.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velmora::test {

class BagObject : public StreamObject {
public:
    BagObject(const ClassDef& cls, std::string name) : cls_(&cls), name_(std::move(name)) {}

    const ClassDef& streamClass() const override { return *cls_; }
    std::string streamName() const override { return name_; }
    PropertyValue getProperty(const PropertyDef& def) const override
    {
        if (def.kind == PropKind::Ref) {
            auto r = refs.find(def.path);
            PropertyValue v;
            if (r != refs.end() && r->second) v.text = r->second->name_;
            return v;
        }
        auto it = values.find(def.path);
        return it == values.end() ? initialValue(def) : it->second;
    }
    void setProperty(const PropertyDef& def, const PropertyValue& v) override { values[def.path] = v; }
    void setReference(const PropertyDef& def, StreamObject* target) override
    {
        refs[def.path] = static_cast<BagObject*>(target);
    }
    std::vector<StreamObject*> streamChildren() override
    {
        std::vector<StreamObject*> out;
        for (auto& c : children) out.push_back(c.get());
        return out;
    }

    BagObject* find(const std::string& name)
    {
        if (name_ == name) return this;
        for (auto& c : children)
            if (BagObject* f = c->find(name)) return f;
        return nullptr;
    }
    PropertyValue value(const std::string& path) const { return getProperty(*cls_->find(path)); }
    BagObject* ref(const std::string& path) const
    {
        auto r = refs.find(path);
        return r == refs.end() ? nullptr : r->second;
    }

    std::map<std::string, PropertyValue> values;
    std::map<std::string, BagObject*> refs;
    std::vector<std::unique_ptr<BagObject>> children;

private:
    const ClassDef* cls_;
    std::string name_;
};

class BagFactory : public StreamObjectFactory {
public:
    StreamObject& createChild(StreamObject& parent, const ClassDef& cls, const std::string& name) override
    {
        auto& p = static_cast<BagObject&>(parent);
        p.children.push_back(std::make_unique<BagObject>(cls, name));
        return *p.children.back();
    }
    void moveChild(StreamObject& parent, StreamObject& child, std::int64_t position) override
    {
        auto& list = static_cast<BagObject&>(parent).children;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].get() != &child) continue;
            auto keep = std::move(list[i]);
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            const auto at = std::clamp<std::int64_t>(position, 0, static_cast<std::int64_t>(list.size()));
            list.insert(list.begin() + at, std::move(keep));
            return;
        }
    }
    void finishLoading() override { ++finished; }
    int finished = 0;
};

inline std::unique_ptr<BagObject> newBagScene()
{
    return std::make_unique<BagObject>(sceneRootClass(), "GLScene1");
}

} // namespace velmora::test
