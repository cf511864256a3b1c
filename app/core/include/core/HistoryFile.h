#pragma once

#include <string>
#include <string_view>

#include "core/SavedChatList.h"

namespace core {

// The history file's bytes, a JSON array of saved chats, read straight into compact chats: no
// tree of the whole document is built, so a long history never takes several times its size
// while it is read. Takes and refuses exactly what decoding the bytes as a list of
// oldMessagesStruct does, with the same error texts: throws DecodingError. The chats get no id.
SavedChatList decodeHistoryFile(std::string_view bytes);

// The history as the file holds it: the bytes encodeJSON(chats.toVector()) writes, put together
// from the chats' packed JSON without decoding them.
std::string encodeJSON(const SavedChatList& chats);

}  // namespace core
