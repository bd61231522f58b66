#include "image/ImageSource.h"

#include <boost/format.hpp>
#include <stdexcept>

#include "icon/DataFormat.h"

std::string ImageSource::DisplayName() const {
    return (boost::format("%s - %s") % componentName % subComponentName).str();
}

const icon::SubComponent& ImageSource::FindSubComponent(const icon::DataFormat& format) const {
    const icon::Component* component = format.getComponent(componentIndex);
    const icon::SubComponent* sub =
        component == nullptr ? nullptr : component->getSubComponent(subComponentIndex);
    if (sub == nullptr) {
        throw std::runtime_error(
            (boost::format("Image '%s' not found in data format") % DisplayName()).str());
    }
    return *sub;
}
