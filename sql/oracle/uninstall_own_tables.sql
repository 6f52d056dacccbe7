-- Removes the service's own tables (and with them the fiscal history) from the PMS database.
DROP TABLE qel_financial_transactions;
DROP TABLE qel_code_convertion;
DROP TABLE deposit_financial_transactions;
DROP TABLE qel_service_lease;
