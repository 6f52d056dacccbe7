-- For tables installed with a narrower title column: the column holds the code of a Czech
-- registration too (a PKP has 344 characters). Run as the user that owns the service's tables.
ALTER TABLE qel_financial_transactions MODIFY (title VARCHAR2(400));
