#pragma once

class QWidget;

namespace data {
class ContactStore;
}

namespace sharing {

// File > Shared Address Book: the account window; the account goes to the settings file, the password to the
// keyring (or, with no keyring, nowhere: it is then asked for at each sync).
void SharedBookClick(QWidget* parent);

// File > Synchronise: one sync with a progress box whose Cancel leaves the table as it was before the pass under
// way; the contact list is read again afterwards and the outcome shown.
void SynchroniseClick(QWidget* parent, data::ContactStore& store);

// When the account asks for it: one sync as soon as the event loop runs, and one after it ends.
void syncAtStartIfAsked(QWidget* parent, data::ContactStore& store);
void syncAtExitIfAsked(data::ContactStore& store);

} // namespace sharing
