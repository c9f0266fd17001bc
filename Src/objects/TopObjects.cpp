#include "objects/TopObjects.h"

const char16_t* TopObjects::label(TopObject which) {
    static constexpr const char16_t* kLabels[kCount] = {
        u"player_top", u"top",      u"shot_1_top", u"shot_2_top", u"pause_top",
        u"gameover_top", u"option_top", u"bomb_top", u"bomb2_top",  u"tensionup_top",
    };
    return kLabels[index(which)];
}

void TopObjects::clear() {
    for (ObjectRef& ref : refs_) ref.reset(nullptr);
}
