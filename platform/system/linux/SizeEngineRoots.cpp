#include "platform/system/linux/SizeEngineRoots.h"

namespace dirtally::sizeengine {

void Roots::add(std::vector<std::string>&& names) {
    for (std::string& name : names) {
        const Place place = placeOf(size_);
        if (!blocks_[place.block]) {
            blocks_[place.block] = std::make_unique<Root[]>(kFirstBlock << place.block);
        }
        blocks_[place.block][place.offset].name = std::move(name);
        ++size_;
    }
}

}  // namespace dirtally::sizeengine
