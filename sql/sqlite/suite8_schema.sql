-- The part of the Suite8 schema that the service reads and writes, for the embedded SQLite
-- stand-in of the PMS database: the tables and columns its statements name, with the indexes the
-- statements need. Run it in the database file that stands for the PMS schema (attached under the
-- schema name, or the main file when the schema is empty). Types are Oracle's; dates are day
-- numbers (src/storage/db/OracleFormats.h), written with to_date(...) or julianday(...) + 0.5.
-- The report views v8_rep_yres_infos and v8_rep_invoiceno are tables here.

-- The open business date: one row.
CREATE TABLE wgbs (
    wgbs_id         NUMBER NOT NULL PRIMARY KEY,
    wgbs_datevalue  DATE
);

-- Postings and payments. zpos_cdt 2 is a tax line, 5 a payment; zpos_ledgerstatus 1 and 2 are
-- deposits, 3 accounts receivable.
CREATE TABLE zpos (
    zpos_id                     NUMBER NOT NULL PRIMARY KEY,
    zpos_zdco_id                NUMBER,
    zpos_descript               VARCHAR2(100),
    zpos_unitprice              NUMBER,
    zpos_quantity               NUMBER,
    zpos_exchangerate           NUMBER,
    zpos_cdt                    NUMBER,
    zpos_zcas_id                NUMBER,
    zpos_postdate               DATE,
    zpos_internalsplit_zpos_id  NUMBER,
    zpos_comment                VARCHAR2(200),
    zpos_taxlink_id             NUMBER,
    zpos_ledgerstatus           NUMBER,
    zpos_foreignprice           NUMBER,
    zpos_grossforeignprice      NUMBER,
    zpos_sumupamount            NUMBER,
    zpos_zfac_id                NUMBER,
    zpos_zcur_id                NUMBER,
    zpos_zwin_id                NUMBER,
    zpos_zart_id                NUMBER,
    zpos_manualsplit_id         NUMBER,
    zpos_zche_id                NUMBER,
    zpos_poscheck_nr            VARCHAR2(40),
    zpos_wpca_netbios           VARCHAR2(60),
    zpos_deposit                NUMBER,
    zpos_xcms_id                NUMBER,
    zpos_user_xcms_id           NUMBER,
    zpos_yres_id                NUMBER,
    zpos_originated_yres_id     NUMBER,
    zpos_proforma               NUMBER,
    zpos_paidout                NUMBER,
    zpos_noreprint              NUMBER
);
CREATE INDEX zpos_postdate_idx ON zpos (zpos_postdate, zpos_zdco_id);
CREATE INDEX zpos_manualsplit_idx ON zpos (zpos_manualsplit_id);
CREATE INDEX zpos_zwin_idx ON zpos (zpos_zwin_id);

-- Invoices and the postings they hold (zpil links them).
CREATE TABLE zinv (
    zinv_id       NUMBER NOT NULL PRIMARY KEY,
    zinv_number   NUMBER,
    zinv_zinn_id  NUMBER,
    zinv_date     DATE,
    zinv_pcdate   DATE,
    zinv_xcms_id  NUMBER
);
CREATE INDEX zinv_date_idx ON zinv (zinv_date);
CREATE INDEX zinv_number_idx ON zinv (zinv_number, zinv_zinn_id);

CREATE TABLE zpil (
    zpil_id       NUMBER NOT NULL PRIMARY KEY,
    zpil_zinv_id  NUMBER,
    zpil_zpos_id  NUMBER
);
CREATE INDEX zpil_zinv_idx ON zpil (zpil_zinv_id);
CREATE INDEX zpil_zpos_idx ON zpil (zpil_zpos_id);

-- Departments: ZDCO_NUMERICDESC is the code of a posting; the two disabled flags switch payment
-- entry off.
CREATE TABLE zdco (
    zdco_id                NUMBER NOT NULL PRIMARY KEY,
    zdco_numericdesc       NUMBER,
    zdco_foliotext         VARCHAR2(60),
    zdco_govcode           VARCHAR2(200),
    zdco_disabled_prearr   NUMBER,
    zdco_disabled_billing  NUMBER
);
CREATE INDEX zdco_numericdesc_idx ON zdco (zdco_numericdesc);

CREATE TABLE zcas (
    zcas_id               NUMBER NOT NULL PRIMARY KEY,
    zcas_number           NUMBER,
    zcas_longdescription  VARCHAR2(60)
);

CREATE TABLE zcur (
    zcur_id         NUMBER NOT NULL PRIMARY KEY,
    zcur_shortdesc  VARCHAR2(10)
);

CREATE TABLE zxch (
    zxch_id       NUMBER NOT NULL PRIMARY KEY,
    zxch_zcur_id  NUMBER,
    zxch_rate     NUMBER,
    zxch_current  NUMBER
);

-- Folio windows.
CREATE TABLE zwin (
    zwin_id      NUMBER NOT NULL PRIMARY KEY,
    zwin_window  NUMBER
);

-- Facilities (accounts without a reservation), their names and groups.
CREATE TABLE zfac (
    zfac_id              NUMBER NOT NULL PRIMARY KEY,
    zfac_zfan_id         NUMBER,
    zfac_zfag_id         NUMBER,
    zfac_source_yras_id  NUMBER
);

CREATE TABLE zfan (
    zfan_id        NUMBER NOT NULL PRIMARY KEY,
    zfan_longdesc  VARCHAR2(60)
);

CREATE TABLE zfag (
    zfag_id         NUMBER NOT NULL PRIMARY KEY,
    zfag_shortdesc  VARCHAR2(20),
    zfag_ycad_id    NUMBER
);

CREATE TABLE zart (
    zart_id           NUMBER NOT NULL PRIMARY KEY,
    zart_numericdesc  NUMBER,
    zart_longdesc     VARCHAR2(60)
);

-- POS checks.
CREATE TABLE zche (
    zche_id         NUMBER NOT NULL PRIMARY KEY,
    zche_checknum   VARCHAR2(20),
    zche_checkdate  DATE
);

-- Translations of texts (wtrl_value for the field of the table row, in the language).
CREATE TABLE wtrl (
    wtrl_id         NUMBER NOT NULL PRIMARY KEY,
    wtrl_tablename  VARCHAR2(30),
    wtrl_fieldname  VARCHAR2(30),
    wtrl_tableid    NUMBER,
    wtrl_wlan_id    NUMBER,
    wtrl_value      VARCHAR2(200)
);
CREATE INDEX wtrl_table_idx ON wtrl (wtrl_tableid, wtrl_wlan_id);

-- Who created a row of a table, the sessions, workstations and log-ins of the users.
CREATE TABLE wmlg (
    wmlg_id             NUMBER NOT NULL PRIMARY KEY,
    wmlg_tablename      VARCHAR2(30),
    wmlg_table_id       NUMBER,
    wmlg_xcms_creation  NUMBER
);
CREATE INDEX wmlg_table_idx ON wmlg (wmlg_table_id, wmlg_tablename);

CREATE TABLE wses (
    wses_id       NUMBER NOT NULL PRIMARY KEY,
    wses_xced_id  NUMBER,
    wses_wpca_id  NUMBER
);
CREATE INDEX wses_xced_idx ON wses (wses_xced_id);

CREATE TABLE wpca (
    wpca_id           NUMBER NOT NULL PRIMARY KEY,
    wpca_netbiosname  VARCHAR2(60)
);

CREATE TABLE wlog (
    wlog_id        NUMBER NOT NULL PRIMARY KEY,
    wlog_xced_id   NUMBER,
    wlog_type      NUMBER,
    wlog_terminal  VARCHAR2(60)
);
CREATE INDEX wlog_type_idx ON wlog (wlog_type, wlog_xced_id);

-- Users: xced_id is the user's customer id (zpos_user_xcms_id), with its cashier.
CREATE TABLE xced (
    xced_id       NUMBER NOT NULL PRIMARY KEY,
    xced_zcas_id  NUMBER,
    xced_title    VARCHAR2(100)
);

-- Customers (profiles), their communication values, attributes and divisions.
CREATE TABLE xcms (
    xcms_id     NUMBER NOT NULL PRIMARY KEY,
    xcms_type   NUMBER,
    xcms_name1  VARCHAR2(100),
    xcms_name2  VARCHAR2(100),
    xcms_name3  VARCHAR2(100)
);

CREATE TABLE xcmt (
    xcmt_id        NUMBER NOT NULL PRIMARY KEY,
    xcmt_type      NUMBER,
    xcmt_longdesc  VARCHAR2(60)
);

CREATE TABLE xect (
    xect_id         NUMBER NOT NULL PRIMARY KEY,
    xect_shortdesc  VARCHAR2(20)
);

CREATE TABLE xcom (
    xcom_id       NUMBER NOT NULL PRIMARY KEY,
    xcom_xcms_id  NUMBER,
    xcom_xcmt_id  NUMBER,
    xcom_xect_id  NUMBER,
    xcom_primary  NUMBER,
    xcom_value    VARCHAR2(200)
);
CREATE INDEX xcom_xcms_idx ON xcom (xcom_xcms_id);

CREATE TABLE xccd (
    xccd_id        NUMBER NOT NULL PRIMARY KEY,
    xccd_division  VARCHAR2(100)
);

CREATE TABLE xmty (
    xmty_id    NUMBER NOT NULL PRIMARY KEY,
    xmty_role  NUMBER
);

CREATE TABLE xmnr (
    xmnr_id       NUMBER NOT NULL PRIMARY KEY,
    xmnr_xcms_id  NUMBER,
    xmnr_xmty_id  NUMBER,
    xmnr_value    VARCHAR2(100)
);
CREATE INDEX xmnr_xcms_idx ON xmnr (xmnr_xcms_id);

-- Guest count categories (adults, children, extra beds).
CREATE TABLE xcac (
    xcac_id         NUMBER NOT NULL PRIMARY KEY,
    xcac_shortdesc  VARCHAR2(20)
);

-- Reservations, their days (room, category, rate, adults), rooms, categories, rates and guests.
CREATE TABLE yres (
    yres_id               NUMBER NOT NULL PRIMARY KEY,
    yres_current_ydet_id  NUMBER
);

CREATE TABLE ydet (
    ydet_id       NUMBER NOT NULL PRIMARY KEY,
    ydet_yres_id  NUMBER,
    ydet_date     DATE,
    ydet_yrms_id  NUMBER,
    ydet_ycat_id  NUMBER,
    ydet_yrch_id  NUMBER,
    ydet_adultno  NUMBER
);
CREATE INDEX ydet_yres_idx ON ydet (ydet_yres_id, ydet_date);

CREATE TABLE yrms (
    yrms_id         NUMBER NOT NULL PRIMARY KEY,
    yrms_shortdesc  VARCHAR2(20),
    yrms_ycat_id    NUMBER
);

CREATE TABLE ycat (
    ycat_id                    NUMBER NOT NULL PRIMARY KEY,
    ycat_shortdesc             VARCHAR2(20),
    ycat_sum_roomtype_ycad_id  NUMBER
);

CREATE TABLE yrch (
    yrch_id         NUMBER NOT NULL PRIMARY KEY,
    yrch_shortdesc  VARCHAR2(20)
);

CREATE TABLE yrgl (
    yrgl_id       NUMBER NOT NULL PRIMARY KEY,
    yrgl_ydet_id  NUMBER,
    yrgl_xcac_id  NUMBER,
    yrgl_number   NUMBER
);
CREATE INDEX yrgl_ydet_idx ON yrgl (yrgl_ydet_id);

-- Accounts of a reservation day (yral_yrac_id 1 is the main account).
CREATE TABLE yral (
    yral_id       NUMBER NOT NULL PRIMARY KEY,
    yral_ydet_id  NUMBER,
    yral_yras_id  NUMBER,
    yral_yrac_id  NUMBER
);
CREATE INDEX yral_ydet_idx ON yral (yral_ydet_id);

CREATE TABLE v8_rep_yres_infos (
    yres_id  NUMBER NOT NULL,
    ydet_id  NUMBER
);
CREATE INDEX v8_rep_yres_infos_idx ON v8_rep_yres_infos (yres_id);

CREATE TABLE v8_rep_invoiceno (
    zinv_number  NUMBER,
    invoicename  VARCHAR2(100)
);

-- Accounts receivable: invoices and the payments allocated to them.
CREATE TABLE ainv (
    ainv_id            NUMBER NOT NULL PRIMARY KEY,
    ainv_paym_zpos_id  NUMBER
);
CREATE INDEX ainv_paym_idx ON ainv (ainv_paym_zpos_id);

CREATE TABLE aipl (
    aipl_id             NUMBER NOT NULL PRIMARY KEY,
    aipl_debit_ainv_id  NUMBER,
    aipl_credit_ainv_id NUMBER
);
CREATE INDEX aipl_credit_idx ON aipl (aipl_credit_ainv_id);
