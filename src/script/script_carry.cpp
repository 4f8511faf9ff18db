// script_carry.cpp: encoding a plain table and rebuilding it in another state.
#include "script/script_carry.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
constexpr size_t kMaxBytes = 1u << 20;
constexpr int kMaxDepth = 32;

enum Tag : char { kNil = 0, kFalse, kTrue, kInteger, kNumber, kString, kTable, kEnd };

// Module state, never locals: a memory error unwinds the encoder without destructors.
std::vector<const void*> openTables;  // the tables being written, to refuse a cycle or a share

struct Encoder {
    lua_State* L;
    std::string* out;
    const char* why;

    bool fail(const char* reason) {
        if (!why) why = reason;
        return false;
    }
    void raw(const void* data, size_t size) { out->append(static_cast<const char*>(data), size); }

    bool scalar(int index) {
        switch (lua_type(L, index)) {
            case LUA_TBOOLEAN: out->push_back(lua_toboolean(L, index) ? kTrue : kFalse); return true;
            case LUA_TNUMBER:
                if (lua_isinteger(L, index)) {
                    const lua_Integer v = lua_tointeger(L, index);
                    out->push_back(kInteger);
                    raw(&v, sizeof v);
                } else {
                    const lua_Number v = lua_tonumber(L, index);
                    out->push_back(kNumber);
                    raw(&v, sizeof v);
                }
                return true;
            case LUA_TSTRING: {
                size_t length = 0;
                const char* text = lua_tolstring(L, index, &length);
                const auto size = static_cast<uint32_t>(length);
                out->push_back(kString);
                raw(&size, sizeof size);
                raw(text, length);
                return true;
            }
            case LUA_TTABLE: return table(index);
            default: return fail("only numbers, strings, booleans and tables of them can be carried");
        }
    }

    // The keys of the table at index, in the fixed order, as stack slots above it: keys first.
    bool table(int index) {
        index = lua_absindex(L, index);
        const void* self = lua_topointer(L, index);
        if (std::find(openTables.begin(), openTables.end(), self) != openTables.end())
            return fail("a table that holds itself, or one table twice, cannot be carried");
        if (static_cast<int>(openTables.size()) >= kMaxDepth) return fail("tables nest deeper than 32");
        openTables.push_back(self);
        // Collect the keys, sort them in the fixed order, then write key and value pairs.
        lua_newtable(L);
        const int keys = lua_gettop(L);
        lua_Integer count = 0;
        lua_pushnil(L);
        while (lua_next(L, index) != 0) {
            lua_pop(L, 1);
            const int type = lua_type(L, -1);
            if (type != LUA_TNUMBER && type != LUA_TSTRING) {
                lua_pop(L, 2);
                return fail("only number and string keys can be carried");
            }
            if (type == LUA_TNUMBER && lua_tonumber(L, -1) != lua_tonumber(L, -1)) {
                lua_pop(L, 2);
                return fail("a NaN key cannot be carried");
            }
            lua_pushvalue(L, -1);
            lua_rawseti(L, keys, ++count);
        }
        // The order in a userdata the state owns (above the keys, popped with them), so an error
        // frees it.
        auto* order = static_cast<int*>(lua_newuserdatauv(L, static_cast<size_t>(count) * sizeof(int), 0));
        for (lua_Integer i = 0; i < count; ++i) order[i] = static_cast<int>(i + 1);
        std::sort(order, order + count, [&](int a, int b) {
            lua_rawgeti(L, keys, a);
            lua_rawgeti(L, keys, b);
            const bool aNumber = lua_type(L, -2) == LUA_TNUMBER, bNumber = lua_type(L, -1) == LUA_TNUMBER;
            bool less;
            if (aNumber != bNumber) {
                less = aNumber;
            } else if (aNumber) {
                less = lua_compare(L, -2, -1, LUA_OPLT) != 0;
            } else {
                size_t la = 0, lb = 0;
                const char* sa = lua_tolstring(L, -2, &la);
                const char* sb = lua_tolstring(L, -1, &lb);
                const int c = std::memcmp(sa, sb, std::min(la, lb));
                less = c < 0 || (c == 0 && la < lb);
            }
            lua_pop(L, 2);
            return less;
        });
        out->push_back(kTable);
        for (lua_Integer i = 0; i < count; ++i) {
            lua_rawgeti(L, keys, order[i]);
            lua_pushvalue(L, -1);
            lua_rawget(L, index);
            const bool ok = scalar(-2) && scalar(-1);
            lua_pop(L, 2);
            if (!ok || out->size() > kMaxBytes) {
                lua_pop(L, 2);
                return fail("the table is larger than 1 MiB");
            }
        }
        out->push_back(kEnd);
        lua_pop(L, 2);
        openTables.pop_back();
        return true;
    }
};

struct Decoder {
    lua_State* L;
    const std::string& in;
    size_t at = 0;

    template <class T>
    T read() {
        T value{};
        std::memcpy(&value, in.data() + at, sizeof value);
        at += sizeof value;
        return value;
    }
    // Pushes one value; false at a table's end mark.
    bool value() {
        const char tag = in[at++];
        switch (tag) {
            case kFalse: lua_pushboolean(L, 0); return true;
            case kTrue: lua_pushboolean(L, 1); return true;
            case kInteger: lua_pushinteger(L, read<lua_Integer>()); return true;
            case kNumber: lua_pushnumber(L, read<lua_Number>()); return true;
            case kString: {
                const auto size = read<uint32_t>();
                lua_pushlstring(L, in.data() + at, size);
                at += size;
                return true;
            }
            case kTable:
                lua_newtable(L);
                while (value()) {
                    value();
                    lua_rawset(L, -3);
                }
                return true;
            default: return false;
        }
    }
};
}  // namespace

bool encodeCarry(lua_State* L, int index, std::string& bytes, const char*& why) {
    bytes.clear();
    openTables.clear();
    Encoder encoder{L, &bytes, nullptr};
    if (lua_type(L, index) != LUA_TTABLE) {
        why = "save() must return a table";
        return false;
    }
    const bool ok = encoder.table(index);
    why = encoder.why;
    return ok;
}

void pushCarry(lua_State* L, const std::string& bytes) {
    Decoder decoder{L, bytes};
    if (bytes.empty() || !decoder.value()) lua_newtable(L);
}
