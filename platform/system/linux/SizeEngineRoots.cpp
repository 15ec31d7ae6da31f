#include "platform/system/linux/SizeEngineRoots.h"

namespace dirtally::sizeengine {

void Roots::stage(std::vector<std::string>&& names) {
    for (std::string& name : names) {
        const Place place = placeOf(staged_);
        if (!blocks_[place.block]) {
            blocks_[place.block] = std::make_unique<Root[]>(kFirstBlock << place.block);
        }
        blocks_[place.block][place.offset].name = std::move(name);
        ++staged_;
    }
}

}  // namespace dirtally::sizeengine
