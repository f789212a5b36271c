#pragma once

// The document-file object: finds, opens and marks the files of documents in
// the document store. One exists; creating it makes sure the core exists.

class TArchiveApplication {
public:
    static TArchiveApplication& Instance();

private:
    TArchiveApplication();
};
