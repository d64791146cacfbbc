#pragma once

#include "provider/cryptoapi/certificate.h"

namespace orvane::provider::cryptoapi {

// The certificates on the cards in the user's smart-card readers, as the Smart Card Key
// Storage Provider reads them, each carrying the key-provider property that leads signing to
// its key on the card. No smart-card subsystem, no reader, no card or no provider gives none,
// and a card that cannot be read is passed over. Never prompts for a PIN or a card.
CertificateList smart_card_certificates();

}  // namespace orvane::provider::cryptoapi
