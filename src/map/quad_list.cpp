// quad_list.cpp: the blocks behind the quad list.
#include "map/quad_list.h"

#include <cstdint>

MapQuad& QuadList::append() {
    if (count_ == blocks_.size() * kBlockQuads) blocks_.push_back(std::make_unique<MapQuad[]>(kBlockQuads));
    MapQuad& quad = (*this)[count_++];
    quad = MapQuad();
    return quad;
}

void QuadList::clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    count_ = 0;
}

int32_t QuadList::positionOf(const MapQuad& quad) const {
    const auto address = reinterpret_cast<uintptr_t>(&quad);
    // Newest block first: the quad being made or edited is usually a recent one.
    for (size_t b = blocks_.size(); b-- > 0;) {
        const auto first = reinterpret_cast<uintptr_t>(blocks_[b].get());
        if (address < first || address >= first + kBlockQuads * sizeof(MapQuad)) continue;
        const size_t at = b * kBlockQuads + (address - first) / sizeof(MapQuad);
        return at < count_ && (address - first) % sizeof(MapQuad) == 0 ? static_cast<int32_t>(at) : -1;
    }
    return -1;
}
