#include "platform/system/linux/SizeEngineRoots.h"

#include <new>

namespace dirtally::sizeengine {

Roots::~Roots() {
    for (std::size_t index = 0; index < staged_; ++index) {
        (*this)[index].~Root();
    }
    for (std::size_t block = 0; block < blocks_.size() && blocks_[block]; ++block) {
        ::operator delete (blocks_[block], blockSize(block) * sizeof(Root),
                           std::align_val_t{alignof(Root)});
    }
}

void Roots::stage(std::vector<std::string>&& names) {
    for (std::string& name : names) {
        const Place place = placeOf(staged_);
        if (!blocks_[place.block]) {
            blocks_[place.block] = static_cast<Root*>(::operator new (
                blockSize(place.block) * sizeof(Root), std::align_val_t{alignof(Root)}));
        }
        Root* root = new (&blocks_[place.block][place.offset]) Root;
        root->name = std::move(name);
        ++staged_;
    }
}

}  // namespace dirtally::sizeengine
