-- The service's own tables in the PMS database, for Oracle. Run as the database user the
-- service connects with (the tables live in that user's schema; the PMS tables are reached
-- through //fidelio_ini/fidelio_schema). The service creates no table itself.
-- The script runs unchanged on the embedded SQLite stand-in too, which reads NUMBER, VARCHAR2
-- and DATE as number, text and number (dates there are day numbers, see
-- src/storage/db/OracleFormats.h).

-- One row per PMS transaction the service has taken up, with its fiscal status.
CREATE TABLE qel_financial_transactions (
    trx_no           NUMBER         NOT NULL,
    trx_code         NUMBER,
    description      VARCHAR2(2000),
    trx_amount       NUMBER,
    room             VARCHAR2(200),
    recpt_no         VARCHAR2(100),
    folio_no         VARCHAR2(100),
    -- A number: statements compare it with numbers, and so its index serves them.
    bill_no          NUMBER,
    machine          VARCHAR2(200),
    cashier_id       NUMBER,
    qel_fisc_status  VARCHAR2(1),
    business_date    DATE,
    attempt          NUMBER,
    reference        VARCHAR2(100),
    printer_id       VARCHAR2(100),
    shift_number     VARCHAR2(100),
    check_number     VARCHAR2(100),
    -- A journal file name, or the code of a Czech registration (a PKP has 344 characters).
    title            VARCHAR2(400),
    printer_info     VARCHAR2(2000),
    site_id          VARCHAR2(200),
    flag1            NUMBER,
    flag2            NUMBER,
    CONSTRAINT qel_fin_trx_pk PRIMARY KEY (trx_no)
);
-- Status writes per bill and per folio, refund lookups by folio and fiscal check number,
-- deposit transfers by reservation.
CREATE INDEX qel_fin_trx_bill_idx ON qel_financial_transactions (bill_no);
CREATE INDEX qel_fin_trx_folio_idx ON qel_financial_transactions (folio_no, check_number);
CREATE INDEX qel_fin_trx_check_idx ON qel_financial_transactions (check_number);
CREATE INDEX qel_fin_trx_ref_idx ON qel_financial_transactions (reference);
-- Every polling cycle looks for rows left N or S on closed business dates within a window of
-- days (//earlier_days): this index keeps that to the few open rows, however long the history.
CREATE INDEX qel_fin_trx_status_date_idx ON qel_financial_transactions (qel_fisc_status, business_date);
-- Discovery by status, which every polling cycle runs: deposits (D) by amount, to pair a transfer
-- of a deposit with it, and bills marked to be registered again (S). The transfer names its
-- source reservation as a number and the row as text; the comparison, which converts the text,
-- is made on the index's own copy of the reservation, without reading the table; with the
-- transaction number in it, a status lookup reads the index alone.
CREATE INDEX qel_fin_trx_status_idx ON qel_financial_transactions (qel_fisc_status, trx_amount, reference, trx_no);
-- The status of a transaction, which every discovery statement looks up for each transaction of
-- the day to skip the registered ones: read from the index alone.
CREATE INDEX qel_fin_trx_no_status_idx ON qel_financial_transactions (trx_no, qel_fisc_status);

-- Printer codes given to PMS codes.
CREATE TABLE qel_code_convertion (
    pms_code      NUMBER        NOT NULL,
    printer_code  NUMBER,
    description   VARCHAR2(200),
    CONSTRAINT qel_code_conv_pk PRIMARY KEY (pms_code)
);
CREATE INDEX qel_code_conv_printer_idx ON qel_code_convertion (printer_code);

-- Deposit transactions of the PMS, filled from outside the service (it reads and deletes them).
-- The columns are those of financial_transactions that the deposit queries read.
CREATE TABLE deposit_financial_transactions (
    trx_no                  NUMBER         NOT NULL,
    resort                  VARCHAR2(20),
    trx_code                VARCHAR2(20),
    room                    VARCHAR2(20),
    trx_amount              NUMBER,
    posted_amount           NUMBER,
    net_amount              NUMBER,
    currency                VARCHAR2(20),
    exchange_rate           NUMBER,
    recpt_no                NUMBER,
    bill_no                 NUMBER,
    trx_no_added_by         NUMBER,
    tax_inclusive_yn        VARCHAR2(1),
    cashier_id              NUMBER,
    price_per_unit          NUMBER,
    trx_no_against_package  NUMBER,
    ft_subtype              VARCHAR2(20),
    reference               VARCHAR2(2000),
    business_date           DATE,
    trx_no_header           NUMBER,
    guest_account_debit     NUMBER,
    resv_name_id            NUMBER,
    product                 VARCHAR2(20),
    cheque_number           VARCHAR2(200),
    folio_view              NUMBER,
    name_tax_type           VARCHAR2(20),
    change_due              NUMBER,
    quantity                NUMBER,
    tran_action_id          NUMBER,
    article_id              NUMBER,
    postit_no               NUMBER,
    CONSTRAINT dep_fin_trx_pk PRIMARY KEY (trx_no)
);
CREATE INDEX dep_fin_trx_resv_idx ON deposit_financial_transactions (resv_name_id);
CREATE INDEX dep_fin_trx_code_idx ON deposit_financial_transactions (resort, trx_code);

-- The lease of a property: the one service that registers its checks. A running service renews
-- its row (renewals); a second service of the property waits until the row is gone or stayed
-- unrenewed for a whole lease by its own clock, and takes it over raising the fence, which the
-- holder's status writes carry. expires is the end by the database's clock, for people to read.
CREATE TABLE qel_service_lease (
    resort   VARCHAR2(20)   NOT NULL,
    holder   VARCHAR2(200),
    expires  DATE,
    fence    NUMBER         DEFAULT 0,
    renewals NUMBER         DEFAULT 0,
    CONSTRAINT qel_service_lease_pk PRIMARY KEY (resort)
);
