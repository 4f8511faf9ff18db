// quad_list.h: one map quad's record, and the list that holds the records themselves in order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "core/vec2.h"

class b2Fixture;

// One textured convex quad of the map and its static fixture; world units throughout. A map
// holds up to a million of these, so the record keeps only what cannot be worked out: the
// centre follows from the corners, and the rare state a few quads need is kept beside the list.
struct MapQuad {
    // Every quad shows the whole image once: shared rather than stored in each quad.
    static constexpr Vec2f texCoords[4] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    // Numerically counter-clockwise once accepted by setGeometry. Written only by the operations
    // of map_quad.h (or followed by quadCornersChanged), so the quad index stays exact.
    Vec2f vertices[4];
    // Owned, on one of the shared static bodies (physics/static_shapes.h) of the world the list's
    // fixtures were made in: quadFixture gives it only while that world is current. None while
    // the corners are no polygon.
    b2Fixture* fixture = nullptr;
    int32_t editMode = -1;  // -1 none, 0..3 a corner, 4 the whole quad
    bool tag = false;
    bool selected = false;
    bool textured = true;  // drawn with "image.png"; false when it was not loaded at registration
    // The corners moved (a whole-quad drag, a snap) since the centre was made from them; until
    // setGeometry catches up, quadCenter gives the centre they were made with.
    bool detached = false;
};
static_assert(sizeof(MapQuad) <= 48, "a million quads must stay within the memory budget");

// The quads in list order, held by value a block at a time: appending moves no quad, so a
// reference lasts until the list is next spliced or cleared. Constness guards the list's shape,
// not the quads: the editor changes their flags through a const list, as through any view.
class QuadList {
public:
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = MapQuad;
        using difference_type = std::ptrdiff_t;
        using pointer = MapQuad*;
        using reference = MapQuad&;
        iterator(const QuadList* list, size_t at) : list_(list), at_(at) {}
        MapQuad& operator*() const { return (*list_)[at_]; }
        MapQuad* operator->() const { return &(*list_)[at_]; }
        iterator& operator++() {
            ++at_;
            return *this;
        }
        iterator operator++(int) { return iterator(list_, at_++); }
        bool operator==(const iterator& other) const { return at_ == other.at_; }
        bool operator!=(const iterator& other) const { return at_ != other.at_; }

    private:
        const QuadList* list_;
        size_t at_;
    };

    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    MapQuad& operator[](size_t i) const { return blocks_[i / kBlockQuads][i % kBlockQuads]; }
    MapQuad& back() const { return (*this)[count_ - 1]; }
    iterator begin() const { return iterator(this, 0); }
    iterator end() const { return iterator(this, count_); }

    // A blank quad at the end; no other quad moves.
    MapQuad& append();
    void clear();  // every block goes back to the heap
    // Where quad lies in the list, or -1 when it is not one of the list's quads.
    int32_t positionOf(const MapQuad& quad) const;

private:
    static constexpr size_t kBlockQuads = 4096;
    std::vector<std::unique_ptr<MapQuad[]>> blocks_;
    size_t count_ = 0;
};
