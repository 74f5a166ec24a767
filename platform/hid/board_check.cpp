#include "hid/board_check.h"

#include "hid/backends.h"
#include "hid/kaldex_board.h"

#include <system_error>
#include <utility>

namespace zelk::hid {
namespace {

BoardProblem problemOf(OpenFailure failure) {
    switch (failure) {
    case OpenFailure::InUse:
        return BoardProblem::InUse;
    case OpenFailure::NoPermission:
        return BoardProblem::NoPermission;
    case OpenFailure::NoAnswer:
        return BoardProblem::NoAnswer;
    case OpenFailure::Missing:
        return BoardProblem::NoBoard;
    case OpenFailure::Unknown:
        break;
    }
    return BoardProblem::OpenFailed;
}

} // namespace

BoardCheck checkBoards(Backend& backend, std::string boardDirectory) {
    BoardCheck check;
    check.boardDirectory = std::move(boardDirectory);
    for (const std::string& path : backend.enumerate()) {
        std::uint16_t vendorId = 0, productId = 0;
        const bool listed = backend.listedAttributes(path, vendorId, productId);
        if (listed && !isKaldexBoard(vendorId, productId)) continue;
        if (const std::unique_ptr<Device> device = backend.open(path)) {
            if (device->attributes(vendorId, productId) && isKaldexBoard(vendorId, productId)) {
                check.problem = BoardProblem::Opens;
                check.path = path;
                return check;
            }
            continue;
        }
        const OpenError error = backend.lastOpenError();
        const BoardProblem problem = problemOf(error.kind);
        // A device gone since the enumeration is no board; one of unknown IDs is a board only by its
        // backend's word.
        if (problem == BoardProblem::NoBoard || (!listed && problem == BoardProblem::OpenFailed)) continue;
        check.problem = problem;
        check.path = path;
        if (error.errorNumber != 0) check.systemText = std::generic_category().message(error.errorNumber);
        return check;
    }
    return check;
}

BoardCheck checkSystemBoards() {
    const std::string directory = vproto::boardDirectory();
    const std::unique_ptr<Backend> devices = makeSystemBackend(directory);
    return checkBoards(*devices, directory);
}

} // namespace zelk::hid
