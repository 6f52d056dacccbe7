-- What the service's database user may do in an Opera schema. Run in SQL*Plus as the owner of
-- the Opera schema (or a DBA, with the schema named in front of every table), giving the service's
-- user as the first argument:
--   sqlplus opera@OPERA @grant_opera_access.sql FISCAL
-- The service reads these tables, switches payment codes off and on while no fiscal printer
-- answers (trx$_codes), and writes the fiscal number and a remark into the transaction
-- (financial_transactions). Its own tables live in its own schema (install_own_tables.sql).
GRANT SELECT ON article$_codes TO &&1;
GRANT SELECT ON businessdate TO &&1;
GRANT SELECT ON cashiers$ TO &&1;
GRANT SELECT ON currency_exchange_rates TO &&1;
GRANT SELECT ON employee TO &&1;
GRANT SELECT ON fin$_tran_action TO &&1;
GRANT SELECT ON fin_trx_translation TO &&1;
GRANT SELECT ON financial_transactions TO &&1;
GRANT UPDATE (cheque_number, remark) ON financial_transactions TO &&1;
GRANT SELECT ON financial_transactions_jrnl TO &&1;
GRANT SELECT ON folio$_tax TO &&1;
GRANT SELECT ON name TO &&1;
GRANT SELECT ON name_view TO &&1;
GRANT SELECT ON reservation_daily_element_name TO &&1;
GRANT SELECT ON reservation_daily_elements TO &&1;
GRANT SELECT ON reservation_name TO &&1;
GRANT SELECT ON room_category_template TO &&1;
GRANT SELECT ON trx$_codes TO &&1;
GRANT UPDATE (ind_billing, ind_deposit_yn) ON trx$_codes TO &&1;
GRANT SELECT ON trx_routing_instructions TO &&1;
