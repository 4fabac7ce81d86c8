#include "player/playback/player_log.h"

Q_LOGGING_CATEGORY(lcPlayer, "corvale.player", QtWarningMsg)
