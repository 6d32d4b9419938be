#include "engine/FileHandleId.h"

#include <fcntl.h>

#include <cstring>

namespace ferrymark {

namespace {

std::string handleAt(int fd, const char* name, int flags) {
    alignas(file_handle) unsigned char buffer[sizeof(file_handle) + MAX_HANDLE_SZ] = {};
    auto* handle = reinterpret_cast<file_handle*>(buffer);
    handle->handle_bytes = MAX_HANDLE_SZ;
    int mountId = 0;
    if (::name_to_handle_at(fd, name, handle, &mountId, flags) != 0) {
        return {};
    }
    std::string out(sizeof handle->handle_type + handle->handle_bytes, '\0');
    std::memcpy(out.data(), &handle->handle_type, sizeof handle->handle_type);
    std::memcpy(out.data() + sizeof handle->handle_type, handle->f_handle, handle->handle_bytes);
    return out;
}

}  // namespace

std::string FileHandleId::ofDescriptor(int fd) {
    return handleAt(fd, "", AT_EMPTY_PATH);
}

std::string FileHandleId::ofName(int folderFd, const std::string& name) {
    return handleAt(folderFd, name.c_str(), 0);
}

}  // namespace ferrymark
