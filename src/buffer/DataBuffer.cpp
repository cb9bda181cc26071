#include "buffer/DataBuffer.h"

#include <new>

namespace qbr {

bool DataBuffer::Allocate() {
    try {
        bytes.assign(kSize, 0xFF);
        changeMarks.assign(kMarkBytes, 0x00);
        return true;
    } catch (const std::bad_alloc&) {
        bytes.clear();
        changeMarks.clear();
        return false;
    }
}

}  // namespace qbr
