#include "icon/DataFormat.h"

#include <pugixml.hpp>
#include <sstream>

namespace icon {

SubComponent::SubComponent(std::string name, std::string valueType, int width)
    : name_(std::move(name)), valueType_(std::move(valueType)), width_(width) {}

int SubComponent::getElementSize() const {
    if (valueType_ == "BYTE") {
        return 1;
    }
    if (valueType_ == "WORD") {
        return 2;
    }
    if (valueType_ == "MARK" || valueType_ == "FLOAT") {
        return 4;
    }
    return 0;
}

Component::Component(std::string name, std::string valueType)
    : name_(std::move(name)), valueType_(std::move(valueType)) {}

const SubComponent* Component::getSubComponent(int index) const {
    if (index < 0 || index >= numSubComponents()) {
        return nullptr;
    }
    return &subComponents_[static_cast<size_t>(index)];
}

const SubComponent* Component::getNamedSubComponent(const std::string& name) const {
    for (const SubComponent& sub : subComponents_) {
        if (sub.getName() == name) {
            return &sub;
        }
    }
    return nullptr;
}

void Component::addSubComponent(const SubComponent& subComponent) {
    subComponents_.push_back(subComponent);
}

void Component::setXRange(double xMin, double xMax) {
    hasXRange_ = true;
    xMin_ = xMin;
    xMax_ = xMax;
}

namespace {

bool parseSubComponent(const pugi::xml_node& node, Component& component) {
    SubComponent sub(node.attribute("name").as_string(), node.attribute("valuetype").as_string(),
                     node.attribute("width").as_int(-1));
    if (sub.getName().empty() || sub.getElementSize() == 0 || sub.getWidth() <= 0) {
        return false;
    }
    component.addSubComponent(sub);
    return true;
}

bool parseComponent(const pugi::xml_node& node, DataFormat& format) {
    Component component(node.attribute("name").as_string(),
                        node.attribute("valuetype").as_string());
    if (component.getName().empty() || component.getValueType().empty()) {
        return false;
    }
    if (node.attribute("xmin") && node.attribute("xmax")) {
        component.setXRange(node.attribute("xmin").as_double(), node.attribute("xmax").as_double());
    }
    for (const pugi::xml_node& sub : node.children("subcomponent")) {
        if (!parseSubComponent(sub, component)) {
            return false;
        }
    }
    format.addComponent(component);
    return true;
}

}  // namespace

DataFormat::DataFormat(const std::string& text) {
    pugi::xml_document doc;
    pugi::xml_node root;
    if (doc.load_string(text.c_str())) {
        root = doc.child("dataformat");
    }
    if (!root) {
        return;
    }
    for (const pugi::xml_node& node : root.children("component")) {
        if (!parseComponent(node, *this)) {
            components_.clear();
            valid_ = false;
            return;
        }
    }
}

const Component* DataFormat::getComponent(int index) const {
    if (index < 0 || index >= numComponents()) {
        return nullptr;
    }
    return &components_[static_cast<size_t>(index)];
}

const Component* DataFormat::getNamedComponent(const std::string& name) const {
    for (const Component& component : components_) {
        if (component.getName() == name) {
            return &component;
        }
    }
    return nullptr;
}

int DataFormat::getScanSize() const {
    int size = 0;
    for (const Component& component : components_) {
        for (int i = 0; i < component.numSubComponents(); ++i) {
            const SubComponent* sub = component.getSubComponent(i);
            size += sub->getWidth() * sub->getElementSize();
        }
    }
    return size;
}

void DataFormat::addComponent(const Component& component) {
    components_.push_back(component);
    valid_ = true;
}

std::string DataFormat::toString() const {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("dataformat");
    for (const Component& component : components_) {
        pugi::xml_node node = root.append_child("component");
        node.append_attribute("name") = component.getName().c_str();
        node.append_attribute("valuetype") = component.getValueType().c_str();
        if (component.hasXRange()) {
            node.append_attribute("xmin") = component.getXMin();
            node.append_attribute("xmax") = component.getXMax();
        }
        for (int i = 0; i < component.numSubComponents(); ++i) {
            const SubComponent* sub = component.getSubComponent(i);
            pugi::xml_node subNode = node.append_child("subcomponent");
            subNode.append_attribute("name") = sub->getName().c_str();
            subNode.append_attribute("valuetype") = sub->getValueType().c_str();
            subNode.append_attribute("width") = sub->getWidth();
        }
    }
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent | pugi::format_no_declaration);
    return out.str();
}

}  // namespace icon
