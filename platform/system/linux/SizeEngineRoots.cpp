#include "platform/system/linux/SizeEngineRoots.h"

#include <memory>
#include <new>

namespace dirtally::sizeengine {

Roots::~Roots() {
    for (std::size_t index = 0; index < staged_; ++index) {
        (*this)[index].~Root();
    }
    for (std::size_t block = 0; block < blocks_.size() && blocks_[block]; ++block) {
        std::allocator<Root>().deallocate(blocks_[block], blockSize(block));
    }
}

void Roots::stage(std::vector<std::string>&& names) {
    for (std::string& name : names) {
        const Place place = placeOf(staged_);
        if (!blocks_[place.block]) {
            blocks_[place.block] = std::allocator<Root>().allocate(blockSize(place.block));
        }
        Root* root = new (&blocks_[place.block][place.offset]) Root;
        root->name = std::move(name);
        ++staged_;
    }
}

}  // namespace dirtally::sizeengine
