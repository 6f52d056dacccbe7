-- The part of the Opera schema that the service reads and writes, for the embedded SQLite
-- stand-in of the PMS database: the tables and columns its statements name, with the indexes a
-- real Opera has on them. Run it in the database file that stands for the PMS schema (attached
-- under the schema name, or the main file when the schema is empty). Types are Oracle's; dates
-- are day numbers (src/storage/db/OracleFormats.h), written with to_date(...) or
-- julianday(...) + 0.5.

-- Postings, payments and deposits.
CREATE TABLE financial_transactions (
    trx_no                  NUMBER NOT NULL PRIMARY KEY,
    resort                  VARCHAR2(20),
    business_date           DATE,
    trx_code                VARCHAR2(20),
    room                    VARCHAR2(20),
    trx_amount              NUMBER,
    posted_amount           NUMBER,
    net_amount              NUMBER,
    guest_account_debit     NUMBER,
    price_per_unit          NUMBER,
    quantity                NUMBER,
    change_due              NUMBER,
    currency                VARCHAR2(20),
    exchange_rate           NUMBER,
    recpt_no                NUMBER,
    recpt_type              VARCHAR2(20),
    bill_no                 NUMBER,
    ar_number               NUMBER,
    folio_view              NUMBER,
    postit_no               NUMBER,
    trx_no_added_by         NUMBER,
    trx_no_header           NUMBER,
    trx_no_against_package  NUMBER,
    tran_action_id          NUMBER,
    tax_inclusive_yn        VARCHAR2(1),
    ft_subtype              VARCHAR2(20),
    name_id                 NUMBER,
    name_tax_type           VARCHAR2(20),
    cashier_id              NUMBER,
    resv_name_id            NUMBER,
    from_resv_id            NUMBER,
    article_id              NUMBER,
    product                 VARCHAR2(20),
    reference               VARCHAR2(2000),
    remark                  VARCHAR2(2000),
    cheque_number           VARCHAR2(200)
);
-- A bill's transactions; with their codes and numbers, the day's bills skip what is registered or
-- of another code without reading the rows.
CREATE INDEX fin_trx_bill_idx ON financial_transactions (resort, bill_no, trx_code, trx_no);
-- The day's transactions by code, and by whether they are billed: the transactions without a bill
-- (deposits moved on, transfers) add up over the years, and SQLite, which knows no more of a
-- column than its average, would otherwise look for the day's unbilled payments among all of them.
-- With the transaction number (here and in the two after it), a transaction of the day that is
-- registered already is skipped without reading its row.
CREATE INDEX fin_trx_bdate_idx ON financial_transactions (resort, business_date, trx_code, bill_no, trx_no);
-- The day's deposits by receipt type, and the day's accounts-receivable payments: found without
-- going through every payment of the day.
CREATE INDEX fin_trx_rtype_idx ON financial_transactions (resort, business_date, recpt_type, trx_code, trx_no);
CREATE INDEX fin_trx_ar_idx ON financial_transactions (resort, business_date, trx_code, ar_number, trx_no);
CREATE INDEX fin_trx_resv_idx ON financial_transactions (resv_name_id, folio_view);
CREATE INDEX fin_trx_from_resv_idx ON financial_transactions (from_resv_id);
CREATE INDEX fin_trx_recpt_idx ON financial_transactions (recpt_no);
CREATE INDEX fin_trx_header_idx ON financial_transactions (trx_no_header);

-- Journal of changed and deleted transactions (U_D_FLAG 'U' or 'D').
CREATE TABLE financial_transactions_jrnl (
    trx_no         NUMBER NOT NULL,
    trx_no_header  NUMBER,
    resort         VARCHAR2(20),
    business_date  DATE,
    trx_code       VARCHAR2(20),
    trx_amount     NUMBER,
    recpt_no       NUMBER,
    u_d_flag       VARCHAR2(1)
);
CREATE INDEX fin_trx_jrnl_trx_idx ON financial_transactions_jrnl (trx_no);
CREATE INDEX fin_trx_jrnl_recpt_idx ON financial_transactions_jrnl (recpt_no);
CREATE INDEX fin_trx_jrnl_header_idx ON financial_transactions_jrnl (trx_no_header);

-- Bills (folios) with their payee and the time they were made.
CREATE TABLE folio$_tax (
    resort                VARCHAR2(20) NOT NULL,
    bill_no               NUMBER NOT NULL,
    bill_generation_date  DATE,
    insert_date           DATE,
    resv_name_id          NUMBER,
    folio_view            NUMBER,
    name_id               NUMBER,
    payee_name_id         NUMBER,
    cashier_id            NUMBER,
    terminal              VARCHAR2(60)
);
CREATE UNIQUE INDEX folio_tax_bill_idx ON folio$_tax (resort, bill_no);
-- The day's bills; with the bill number, the bills-of-the-day statements reach each bill's
-- transactions without reading the bill's row.
CREATE INDEX folio_tax_date_idx ON folio$_tax (resort, bill_generation_date, bill_no);

-- Transaction codes; ind_billing and ind_deposit_yn switch payment entry on and off.
CREATE TABLE trx$_codes (
    resort               VARCHAR2(20) NOT NULL,
    trx_code             VARCHAR2(20) NOT NULL,
    description          VARCHAR2(200),
    tc_group             VARCHAR2(20),
    tc_transaction_type  VARCHAR2(20),
    adj_trx_code         VARCHAR2(20),
    ind_billing          VARCHAR2(1),
    ind_deposit_yn       VARCHAR2(1),
    CONSTRAINT trx_codes_pk PRIMARY KEY (resort, trx_code)
);

-- The workstation a transaction was posted from.
CREATE TABLE fin$_tran_action (
    fin_action_id  NUMBER NOT NULL PRIMARY KEY,
    machine        VARCHAR2(64)
);

CREATE TABLE reservation_name (
    resv_name_id     NUMBER NOT NULL PRIMARY KEY,
    resort           VARCHAR2(20),
    name_id          NUMBER,
    confirmation_no  VARCHAR2(50),
    reinstate_date   DATE
);
CREATE INDEX resv_name_conf_idx ON reservation_name (resort, confirmation_no);

-- The open business date of each resort.
CREATE TABLE businessdate (
    resort         VARCHAR2(20) NOT NULL,
    business_date  DATE NOT NULL,
    state          VARCHAR2(20)
);
CREATE INDEX businessdate_state_idx ON businessdate (resort, state);

-- Transaction descriptions in other languages.
CREATE TABLE fin_trx_translation (
    resort         VARCHAR2(20) NOT NULL,
    trx_code       VARCHAR2(20) NOT NULL,
    language_code  VARCHAR2(20) NOT NULL,
    description    VARCHAR2(200),
    CONSTRAINT fin_trx_translation_pk PRIMARY KEY (resort, trx_code, language_code)
);

CREATE TABLE article$_codes (
    article_id    NUMBER NOT NULL PRIMARY KEY,
    resort        VARCHAR2(20),
    article_code  VARCHAR2(20),
    description   VARCHAR2(200)
);

CREATE TABLE cashiers$ (
    cashier_id  NUMBER NOT NULL PRIMARY KEY,
    title       VARCHAR2(200)
);

CREATE TABLE employee (
    employee_id     NUMBER NOT NULL PRIMARY KEY,
    def_cashier_id  NUMBER,
    address1        VARCHAR2(200),
    address2        VARCHAR2(200),
    emp_extension   VARCHAR2(50)
);
CREATE INDEX employee_cashier_idx ON employee (def_cashier_id);

-- Guest and company profiles.
CREATE TABLE name (
    name_id        NUMBER NOT NULL PRIMARY KEY,
    first          VARCHAR2(80),
    last           VARCHAR2(80),
    company        VARCHAR2(80),
    xcompany_name  VARCHAR2(80),
    tax1_no        VARCHAR2(80),
    udfc20         VARCHAR2(200),
    udfc21         VARCHAR2(200)
);

-- A view over the profiles in Opera; a table here.
CREATE TABLE name_view (
    name_id   NUMBER NOT NULL PRIMARY KEY,
    web_page  VARCHAR2(200)
);

-- Who pays which folio window of a reservation.
CREATE TABLE trx_routing_instructions (
    resv_name_id     NUMBER NOT NULL,
    folio_view       NUMBER NOT NULL,
    bill_to_name_id  NUMBER
);
CREATE INDEX trx_routing_resv_idx ON trx_routing_instructions (resv_name_id, folio_view);

-- Rate and room category of each day of a reservation.
CREATE TABLE reservation_daily_element_name (
    resort             VARCHAR2(20) NOT NULL,
    resv_name_id       NUMBER NOT NULL,
    reservation_date   DATE NOT NULL,
    resv_daily_el_seq  NUMBER,
    rate_code          VARCHAR2(20)
);
CREATE INDEX resv_daily_name_idx ON reservation_daily_element_name (resort, resv_name_id, reservation_date);

CREATE TABLE reservation_daily_elements (
    resv_daily_el_seq  NUMBER NOT NULL PRIMARY KEY,
    resort             VARCHAR2(20),
    room_category      NUMBER
);

CREATE TABLE room_category_template (
    room_category  NUMBER NOT NULL PRIMARY KEY,
    label          VARCHAR2(20)
);

CREATE TABLE currency_exchange_rates (
    resort         VARCHAR2(20) NOT NULL,
    currency_code  VARCHAR2(20) NOT NULL,
    begin_date     DATE NOT NULL,
    exchange_rate  NUMBER
);
CREATE INDEX currency_rates_idx ON currency_exchange_rates (resort, currency_code, begin_date);
