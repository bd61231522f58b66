#include <pugixml.hpp>
#include <set>

#include "Simulator.h"
#include "icon/Camera.h"

namespace icon::detail {
namespace {

// Words of a mark record: the encoder count, then the scan counter (bits 0 to
// 15) and the overtrigger count (bits 16 to 23).
constexpr int kMarkWords = 2;

struct ComponentChoice {
    std::string name;
    std::string type;
    bool mark = true;
    bool intensity = true;
};

Component buildComponent(const ComponentChoice& choice, int columns) {
    Component component(choice.name, choice.type);
    if (choice.mark) {
        component.addSubComponent(SubComponent("Mark", "MARK", kMarkWords));
    }
    if (choice.type == "COG") {
        component.addSubComponent(SubComponent("Sum", "WORD", columns));
        component.addSubComponent(SubComponent("XSum", "WORD", columns));
    } else if (choice.type == "RANGE") {
        component.addSubComponent(SubComponent("Range", "WORD", columns));
        if (choice.intensity) {
            component.addSubComponent(SubComponent("Intensity", "BYTE", columns));
        }
    } else {
        component.addSubComponent(SubComponent("Image", "BYTE", columns));
    }
    return component;
}

std::string buildFormat(const std::vector<ComponentChoice>& choices, int columns) {
    DataFormat format;
    for (const ComponentChoice& choice : choices) {
        format.addComponent(buildComponent(choice, columns));
    }
    return format.toString();
}

bool typeFits(const std::string& configuration, const std::string& type) {
    if (configuration == "Measurement") {
        return type == "COG" || type == "RANGE";
    }
    return type == "IMAGE";
}

bool parseConfiguration(const pugi::xml_node& node, std::vector<ComponentChoice>& choices) {
    const std::string configuration = node.attribute("name").as_string();
    std::set<std::string> names;
    for (const pugi::xml_node& child : node.children()) {
        ComponentChoice choice;
        choice.name = child.attribute("name").as_string();
        choice.type = child.attribute("type").as_string();
        choice.mark = child.attribute("mark").as_bool(true);
        choice.intensity = child.attribute("intensity").as_bool(true);
        if (std::string(child.name()) != "component" || choice.name.empty() ||
            !typeFits(configuration, choice.type) || !names.insert(choice.name).second) {
            return false;
        }
        choices.push_back(choice);
    }
    return !choices.empty();
}

}  // namespace

std::map<std::string, std::string> defaultConfigurations(const sim::DeviceConfig& device) {
    const int columns = device.sensor.columns;
    return {{"Measurement", buildFormat({{"Profile 1", "COG", true, true}}, columns)},
            {"Image", buildFormat({{"Frame 1", "IMAGE", true, true}}, columns)}};
}

int loadParameterFile(const std::string& path, const sim::DeviceConfig& device,
                      std::map<std::string, std::string>& formats) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_file(path.c_str());
    if (parsed.status == pugi::status_file_not_found || parsed.status == pugi::status_io_error) {
        return Camera::E_INVALID_PRM_PATH;
    }
    const pugi::xml_node root = doc.child("parameters");
    if (!parsed || !root) {
        return Camera::E_INVALID_PRM_FILE;
    }
    std::map<std::string, std::string> result = defaultConfigurations(device);
    for (const pugi::xml_node& node : root.children()) {
        const std::string name = node.attribute("name").as_string();
        std::vector<ComponentChoice> choices;
        if (std::string(node.name()) != "configuration" ||
            (name != "Measurement" && name != "Image") || !parseConfiguration(node, choices)) {
            return Camera::E_INVALID_PRM_FILE;
        }
        result[name] = buildFormat(choices, device.sensor.columns);
    }
    formats = std::move(result);
    return Camera::E_ALL_OK;
}

}  // namespace icon::detail

namespace icon::sim {

std::string defaultDataFormat(const DeviceConfig& device, const std::string& configuration) {
    const auto formats = detail::defaultConfigurations(device);
    auto it = formats.find(configuration);
    return it == formats.end() ? std::string() : it->second;
}

}  // namespace icon::sim
