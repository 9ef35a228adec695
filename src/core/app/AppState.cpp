#include "app/AppState.h"

namespace corvina {

AppState& Application() {
    static AppState state;
    return state;
}

}  // namespace corvina
