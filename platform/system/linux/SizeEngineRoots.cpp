#include "platform/system/linux/SizeEngineRoots.h"

#include <bit>

namespace dirtally::sizeengine {

// Block b holds kFirstBlock << b roots, from kFirstBlock * (2^b - 1) on.
Roots::Place Roots::placeOf(std::size_t index) {
    const std::size_t block = std::bit_width(index / kFirstBlock + 1) - 1;
    return {block, index - kFirstBlock * ((std::size_t{1} << block) - 1)};
}

Root& Roots::operator[](std::size_t index) {
    const Place place = placeOf(index);
    return blocks_[place.block][place.offset];
}

const Root& Roots::operator[](std::size_t index) const {
    const Place place = placeOf(index);
    return blocks_[place.block][place.offset];
}

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
